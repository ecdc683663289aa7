#include <vocelle/text/line.h>

#include <cctype>
#include <climits>
#include <iomanip>
#include <istream>
#include <limits>
#include <ostream>

namespace vocelle {

namespace {

void printName(std::ostream& out, const std::string& name, int width) {
    out << std::left << std::setw(width) << (name + ":");
}

void printValue(std::ostream& out, int value) { out << value; }
void printValue(std::ostream& out, float value) { out << value; }
void printValue(std::ostream& out, bool value) { out << (value ? '1' : '0'); }

} // namespace

std::string nameOfKey(const std::string& key) {
    return key.empty() ? key : key.substr(0, key.size() - 1);
}

void printLineEnds(std::ostream& out, int newlines) {
    for (int i = 0; i < newlines; ++i) out << '\n';
}

void getNameAndWidth(std::istream& in, const std::string& key, std::string& name, int& width) {
    name = nameOfKey(key);
    width = key.size() < INT_MAX ? static_cast<int>(key.size()) : INT_MAX;
    for (;;) {
        const auto next = in.peek();
        if (next != ' ' && next != '\t') break;
        in.get();
        if (width < INT_MAX) ++width;
    }
}

template <typename T>
std::istream& Line<T>::readLine(std::istream& in, const std::string& key) {
    getNameAndWidth(in, key, this->name_, this->width_);
    // A value read from a later line is printed on the key's line: a blank must part them, or
    // key and value would print as one word that no reader knows.
    if (std::isspace(in.peek()) && this->width_ == static_cast<int>(key.size())) ++this->width_;
    in >> this->value_;
    this->set_ = true;
    return in;
}

template <typename T>
void Line<T>::printLineIfAllSet(std::ostream& out, int newlines) const {
    if (!this->set_) return;
    printName(out, this->name_, this->width_);
    printValue(out, this->value_);
    printLineEnds(out, newlines);
}

template class Line<int>;
template class Line<float>;
template class Line<bool>;

std::istream& Line<std::string>::readLine(std::istream& in, const std::string& key) {
    getNameAndWidth(in, key, name_, width_);
    quoted_ = false;
    std::string rest;
    // An empty value at the very end of the file is still a value.
    if (!std::getline(in, rest) && in.eof() && !in.bad()) in.clear(std::ios::eofbit);
    const auto end = rest.find_last_not_of(" \t\n\v\f\r");
    rest.erase(end == std::string::npos ? 0 : end + 1);
    const auto first = rest.find('"');
    const auto last = rest.rfind('"');
    if (first == std::string::npos) {
        value_ = std::move(rest);
    } else if (first == last) {
        value_ = rest.substr(first + 1);
    } else {
        value_ = rest.substr(first + 1, last - first - 1);
        quoted_ = true;
    }
    set_ = true;
    return in;
}

void Line<std::string>::printLineIfAllSet(std::ostream& out, int newlines) const {
    if (!set_) return;
    printName(out, name_, width_);
    if (quoted_)
        out << '"' << value_ << '"';
    else
        out << value_;
    printLineEnds(out, newlines);
}

void readYesNo(Line<bool>& line, std::istream& in, const std::string& key) {
    getNameAndWidth(in, key, line.getName(), line.getWidth());
    const auto next = in.peek();
    line.set(line.getName(), next != 'N' && next != 'n', line.getWidth());
    in.ignore(std::numeric_limits<std::streamsize>::max(), '\n');
}

void printYesNoIfAllSet(const Line<bool>& line, std::ostream& out, int newlines) {
    if (!line.isSet()) return;
    printName(out, line.getName(), line.getWidth());
    out << (line.value() ? "YES" : "NO");
    printLineEnds(out, newlines);
}

} // namespace vocelle
