#pragma once
// The host's transcript: one flat JSON object per line, written and flushed as each call happens.

#include <vocelle/text/safesave.h>

#include <memory>
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

// Saved as any output is (text/safesave.h): a file shows the whole transcript once the command
// ends, or its old content when it never does; a pipe or device gets each line as it happens.
class Transcript {
public:
    // Makes the transcript ready to replace `path`; throws FaultError when it could not.
    void open(const std::string& path);
    // Writes the line when a transcript is open; does nothing otherwise.
    void write(const JsonLine& line);
    // Puts the transcript in place; throws FaultError when any line could not be written.
    void close();

private:
    std::unique_ptr<PendingSave> file;
};

} // namespace vocelle
