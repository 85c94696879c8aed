#pragma once
// A small streaming JSON writer for the command-line host's --json output.

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace spatium::host {

class JsonWriter {
public:
    explicit JsonWriter(std::ostream& out) : out_(out) {}
    ~JsonWriter() { out_ << '\n'; }

    JsonWriter& beginObject() { return open('{'); }
    JsonWriter& endObject() { return close('}'); }
    JsonWriter& beginArray() { return open('['); }
    JsonWriter& endArray() { return close(']'); }

    JsonWriter& key(std::string_view name) {
        separate();
        writeString(name);
        out_ << ": ";
        afterKey_ = true;
        return *this;
    }
    JsonWriter& value(std::string_view text) {
        separate();
        writeString(text);
        return *this;
    }
    JsonWriter& value(const char* text) { return value(std::string_view(text)); }
    JsonWriter& value(const std::string& text) { return value(std::string_view(text)); }
    JsonWriter& value(bool b) {
        separate();
        out_ << (b ? "true" : "false");
        return *this;
    }
    JsonWriter& value(std::int64_t n) {
        separate();
        out_ << n;
        return *this;
    }
    JsonWriter& value(std::int32_t n) { return value(static_cast<std::int64_t>(n)); }
    JsonWriter& value(std::uint32_t n) { return value(static_cast<std::int64_t>(n)); }
    // Non-finite numbers have no JSON form and are written as null.
    JsonWriter& value(double d) {
        separate();
        if (!std::isfinite(d)) {
            out_ << "null";
        } else {
            char text[32];
            std::snprintf(text, sizeof text, "%.17g", d);
            out_ << text;
        }
        return *this;
    }
    template <class T>
    JsonWriter& field(std::string_view name, const T& v) {
        key(name);
        return value(v);
    }

private:
    JsonWriter& open(char c) {
        separate();
        out_ << c;
        first_.push_back(true);
        return *this;
    }
    JsonWriter& close(char c) {
        const bool empty = first_.back();
        first_.pop_back();
        if (!empty) newline();
        out_ << c;
        return *this;
    }
    void separate() {
        if (afterKey_) {
            afterKey_ = false;
            return;
        }
        if (first_.empty()) return;
        if (!first_.back()) out_ << ',';
        first_.back() = false;
        newline();
    }
    void newline() {
        out_ << '\n';
        for (std::size_t i = 0; i < first_.size(); ++i) out_ << "  ";
    }
    void writeString(std::string_view s) {
        out_ << '"';
        for (unsigned char c : s) {
            switch (c) {
            case '"':
                out_ << "\\\"";
                break;
            case '\\':
                out_ << "\\\\";
                break;
            case '\n':
                out_ << "\\n";
                break;
            case '\t':
                out_ << "\\t";
                break;
            case '\r':
                out_ << "\\r";
                break;
            default:
                if (c < 0x20) {
                    char escaped[8];
                    std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
                    out_ << escaped;
                } else {
                    out_ << static_cast<char>(c);
                }
            }
        }
        out_ << '"';
    }

    std::ostream& out_;
    std::vector<bool> first_;
    bool afterKey_ = false;
};

} // namespace spatium::host
