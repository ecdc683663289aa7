#pragma once
// The host's transcript: one flat JSON object per line, written and flushed as each call happens.

#include <cstdio>
#include <string>

namespace vocelle {

// The bytes as a JSON string literal, quotes included. Valid UTF-8 passes through; control
// characters, quotes and backslashes are escaped; any other byte b becomes \u00bb.
std::string jsonString(const std::string& bytes);

// Builds one flat JSON object, keys in insertion order.
class JsonLine {
public:
    JsonLine& add(const char* key, const std::string& value);
    JsonLine& add(const char* key, const char* value); // null is written as null
    JsonLine& add(const char* key, int value);
    JsonLine& add(const char* key, bool value);
    std::string str() const { return body + "}"; }

private:
    JsonLine& addRaw(const char* key, const std::string& json);
    std::string body = "{";
};

class Transcript {
public:
    Transcript() = default;
    ~Transcript();
    Transcript(const Transcript&) = delete;
    Transcript& operator=(const Transcript&) = delete;

    // Creates or replaces the file; false when it cannot be created.
    bool open(const std::string& path);
    // Writes the line when a file is open; does nothing otherwise.
    void write(const JsonLine& line);

private:
    std::FILE* file = nullptr;
};

} // namespace vocelle
