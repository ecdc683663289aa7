#pragma once
// Documents printed to and read from text in memory.

#include <sstream>
#include <string>

template <typename Doc, typename... Args> std::string printed(const Doc& doc, Args... args) {
    std::ostringstream out;
    doc.PrintTo(out, args...);
    return out.str();
}

// Arguments after the text go to the document's stream constructor.
template <typename Doc, typename... Args> Doc parse(const std::string& text, Args... args) {
    std::istringstream in(text);
    return Doc(in, args...);
}
