#pragma once
// One named header line of a text document: "Key:", blanks, value.
// The width of key, colon and blanks is measured when the line is read and reused when it is
// printed, so a document read and written again keeps every value in its column.
// A line is printed only when it is set; a default-constructed line is unset and holds zero
// values (empty name, value 0 / false / empty, width 0).

#include <iosfwd>
#include <string>
#include <utility>

namespace vocelle {

// Consumes the blanks (space or tab) after a key token that has just been read.
// name = key without its last character (the colon); width = key length + number of blanks.
// The stream is left at the first character of the value (or at the line end).
void getNameAndWidth(std::istream& in, const std::string& key, std::string& name, int& width);

// The name a key token gives its line: the key without its last character (the colon).
std::string nameOfKey(const std::string& key);

// Writes `newlines` line ends; none when it is zero or negative.
void printLineEnds(std::ostream& out, int newlines);

namespace detail {

// Storage and accessors shared by every Line<T>.
template <typename T>
class LineCore {
public:
    LineCore() = default;
    LineCore(std::string name, T value, int width)
        : name_(std::move(name)), value_(std::move(value)), width_(width), set_(true) {}

    void set(std::string name, T value, int width) {
        name_ = std::move(name);
        value_ = std::move(value);
        width_ = width;
        set_ = true;
    }

    bool isSet() const { return set_; }
    std::string& getName() { return name_; }
    const std::string& getName() const { return name_; }
    int& getWidth() { return width_; }
    int getWidth() const { return width_; }
    // Writing through value() leaves the set flag as it is.
    T& value() { return value_; }
    const T& value() const { return value_; }
    operator T() const { return value_; }
    // Replaces the value only: a line that was never set stays unprinted.
    void updateValue(T value) { value_ = std::move(value); }

protected:
    std::string name_;
    T value_{};
    int width_ = 0;
    bool set_ = false;
};

} // namespace detail

// Line<int>, Line<float>, Line<bool>: the value is read with the stream's formatted extraction
// (bool as the digit 0 or 1) and printed the same way.
template <typename T>
class Line : public detail::LineCore<T> {
public:
    using detail::LineCore<T>::LineCore;

    Line& operator=(T value) {
        this->updateValue(std::move(value));
        return *this;
    }

    // Reads the rest of a header line whose key token has just been extracted; the line becomes
    // set even when the value does not parse (the stream is then failed and the value is 0).
    // Nothing after the value is consumed. A value found on a later line than its key widens the
    // line to one blank after the colon, so that it prints back as a readable line.
    std::istream& readLine(std::istream& in, const std::string& key);

    // Prints "Name:" left-adjusted in the line's width, the value and `newlines` line ends;
    // prints nothing at all when the line is unset. Leaves the stream left-adjusted.
    void printLineIfAllSet(std::ostream& out, int newlines) const;
};

// Line<std::string>: the value is the rest of the line, trailing white space (CR included)
// removed; text between the first and last double quote is taken as a quoted value and printed
// between quotes again.
template <>
class Line<std::string> : public detail::LineCore<std::string> {
public:
    Line() = default;
    Line(std::string name, std::string value, int width)
        : LineCore(std::move(name), std::move(value), width) {}

    // Setting in code makes the value unquoted.
    void set(std::string name, std::string value, int width) {
        LineCore::set(std::move(name), std::move(value), width);
        quoted_ = false;
    }

    Line& operator=(std::string value) {
        updateValue(std::move(value));
        return *this;
    }

    bool isQuoted() const { return quoted_; }
    void setQuoted(bool quoted) { quoted_ = quoted; }

    // Reads the rest of the current line; its line end is consumed.
    std::istream& readLine(std::istream& in, const std::string& key);
    void printLineIfAllSet(std::ostream& out, int newlines) const;

private:
    bool quoted_ = false;
};

extern template class Line<int>;
extern template class Line<float>;
extern template class Line<bool>;

// YES/NO lines: any value starting with N or n is false, anything else (also empty) true.
// The rest of the line, with its line end, is consumed.
void readYesNo(Line<bool>& line, std::istream& in, const std::string& key);
// Prints a boolean line as "YES" or "NO", otherwise like printLineIfAllSet.
void printYesNoIfAllSet(const Line<bool>& line, std::ostream& out, int newlines);

} // namespace vocelle
