#pragma once
// Path and string helpers shared by the job list, the conversion run and the FMR/STC code.
// They work on the text alone (byte by byte, case-sensitive); only fileExists and isRegularFile
// touch the disk.
// Both '/' and '\' are folder separators. The extension dot is the last dot of the file part:
// a dot in a folder name is never taken for one.

#include <string>
#include <vector>

namespace vocelle {

std::string getPath(const std::string& path);
std::string getFileName(const std::string& path);
// The extension with its dot (".voi"), or the empty text when the file part has no dot.
std::string getExtension(const std::string& path);
std::string removeExtension(const std::string& path);
std::string addToFileName(const std::string& path, const std::string& addition);
std::string addToFileNameNewExtension(const std::string& path, const std::string& newEnding);
std::string replaceExtension(const std::string& path, const std::string& newExtension);
std::string extractPartBetweenQuotes(const std::string& text);
std::string getLastCharacters(const std::string& text, int count);
std::string removeEnclosingWhiteSpaces(const std::string& text);
bool hasExtension(const std::string& path, const std::string& extension);
bool startsWith(const std::string& text, const std::string& prefix);
bool endsWith(const std::string& text, const std::string& ending);
// The pieces between the separators, empty ones included: "a\t\tb\t" gives a, "", b, "".
std::vector<std::string> splitAt(const std::string& text, char separator);
// Both are false for a name holding a NUL byte, which no file can have.
bool fileExists(const std::string& path);
// True for a regular file, links followed. Checked before a document is opened: a device or a
// pipe can block the open or never end, and a folder opens but cannot be read.
bool isRegularFile(const std::string& path);

} // namespace vocelle
