#include <vocelle/host/transcript.h>

namespace vocelle {

namespace {

// Length of the valid UTF-8 sequence starting at i, or 0 when the bytes there are not one.
std::size_t utf8Sequence(const std::string& s, std::size_t i) {
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(s[k]); };
    const unsigned char b = byte(i);
    std::size_t length;
    unsigned char low = 0x80, high = 0xBF; // allowed range of the second byte
    if (b >= 0xC2 && b <= 0xDF) length = 2;
    else if (b >= 0xE0 && b <= 0xEF) {
        length = 3;
        if (b == 0xE0) low = 0xA0;  // no overlong forms
        if (b == 0xED) high = 0x9F; // no surrogates
    } else if (b >= 0xF0 && b <= 0xF4) {
        length = 4;
        if (b == 0xF0) low = 0x90;
        if (b == 0xF4) high = 0x8F;
    } else {
        return 0;
    }
    if (i + length > s.size()) return 0;
    if (byte(i + 1) < low || byte(i + 1) > high) return 0;
    for (std::size_t k = 2; k < length; ++k)
        if (byte(i + k) < 0x80 || byte(i + k) > 0xBF) return 0;
    return length;
}

} // namespace

std::string jsonString(const std::string& bytes) {
    static const char hex[] = "0123456789abcdef";
    std::string out = "\"";
    for (std::size_t i = 0; i < bytes.size();) {
        const unsigned char c = static_cast<unsigned char>(bytes[i]);
        if (c >= 0x80) {
            const std::size_t length = utf8Sequence(bytes, i);
            if (length > 0) {
                out.append(bytes, i, length);
                i += length;
                continue;
            }
        }
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (c < 0x20 || c >= 0x7F) {
                out += "\\u00";
                out += hex[c >> 4];
                out += hex[c & 15];
            } else {
                out += static_cast<char>(c);
            }
        }
        ++i;
    }
    return out + "\"";
}

JsonLine& JsonLine::addRaw(const char* key, const std::string& json) {
    if (body.size() > 1) body += ",";
    body += jsonString(key) + ":" + json;
    return *this;
}

JsonLine& JsonLine::add(const char* key, const std::string& value) {
    return addRaw(key, jsonString(value));
}

JsonLine& JsonLine::add(const char* key, const char* value) {
    return addRaw(key, value == nullptr ? std::string("null") : jsonString(value));
}

JsonLine& JsonLine::add(const char* key, int value) { return addRaw(key, std::to_string(value)); }

JsonLine& JsonLine::add(const char* key, bool value) { return addRaw(key, value ? "true" : "false"); }

void Transcript::open(const std::string& path) {
    file = std::make_unique<PendingSave>(path);
}

void Transcript::write(const JsonLine& line) {
    if (!file) return;
    // Flushed at once, so a pipe or terminal shows each call as it happens.
    file->out() << line.str() << '\n' << std::flush;
}

void Transcript::close() {
    if (!file) return;
    const std::unique_ptr<PendingSave> done = std::move(file);
    done->commit();
}

} // namespace vocelle
