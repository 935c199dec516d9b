#include "json_writer.h"

#include <cstdio>

namespace {

constexpr size_t kPieceBytes = 64 * 1024;

// Length of the UTF-8 sequence at `p` (of `n` bytes left), 0 when it is not a well-formed one.
size_t Utf8Length(const unsigned char* p, size_t n) {
    const unsigned c = p[0];
    size_t len = c < 0x80 ? 1 : (c >> 5) == 0x6 ? 2 : (c >> 4) == 0xE ? 3 : (c >> 3) == 0x1E ? 4 : 0;
    if (len == 0 || len > n || (len == 2 && c < 0xC2) || (len == 4 && c > 0xF4))
        return 0;
    for (size_t k = 1; k < len; ++k)
        if ((p[k] & 0xC0) != 0x80)
            return 0;
    // Overlong forms, surrogates and code points past U+10FFFF.
    if (len == 3 && ((c == 0xE0 && p[1] < 0xA0) || (c == 0xED && p[1] >= 0xA0)))
        return 0;
    if (len == 4 && ((c == 0xF0 && p[1] < 0x90) || (c == 0xF4 && p[1] >= 0x90)))
        return 0;
    return len;
}

void AppendQuoted(std::string& out, std::string_view text) {
    out += '"';
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    for (size_t i = 0; i < text.size();) {
        const unsigned char c = p[i];
        if (c == '"' || c == '\\') {
            out += '\\';
            out += char(c);
            ++i;
        } else if (c < 0x20) {
            char esc[8];
            std::snprintf(esc, sizeof esc, "\\u%04x", c);
            out += esc;
            ++i;
        } else if (const size_t len = Utf8Length(p + i, text.size() - i)) {
            out.append(text.data() + i, len);
            i += len;
        } else {
            out += "\xEF\xBF\xBD";
            ++i;
        }
    }
    out += '"';
}

} // namespace

void JsonWriter::BeforeValue() {
    if (m_afterKey) {
        m_afterKey = false;
        return;
    }
    if (!m_hasItems.empty()) {
        if (m_hasItems.back())
            m_out += ',';
        m_hasItems.back() = true;
    }
}

void JsonWriter::AfterValue() {
    if (m_hasItems.empty())
        m_out += '\n';
    MaybeFlush();
}

void JsonWriter::MaybeFlush() {
    if (m_out.size() >= kPieceBytes)
        Flush();
}

void JsonWriter::Flush() {
    if (!m_out.empty() && m_sink)
        m_sink(m_out);
    m_out.clear();
}

JsonWriter& JsonWriter::BeginObject() {
    BeforeValue();
    m_out += '{';
    m_hasItems.push_back(false);
    return *this;
}

JsonWriter& JsonWriter::EndObject() {
    m_out += '}';
    m_hasItems.pop_back();
    AfterValue();
    return *this;
}

JsonWriter& JsonWriter::BeginArray() {
    BeforeValue();
    m_out += '[';
    m_hasItems.push_back(false);
    return *this;
}

JsonWriter& JsonWriter::EndArray() {
    m_out += ']';
    m_hasItems.pop_back();
    AfterValue();
    return *this;
}

JsonWriter& JsonWriter::Key(std::string_view key) {
    BeforeValue();
    AppendQuoted(m_out, key);
    m_out += ':';
    m_afterKey = true;
    return *this;
}

JsonWriter& JsonWriter::String(std::string_view utf8) {
    BeforeValue();
    AppendQuoted(m_out, utf8);
    AfterValue();
    return *this;
}

JsonWriter& JsonWriter::Int(int64_t value) {
    BeforeValue();
    m_out += std::to_string(value);
    AfterValue();
    return *this;
}

JsonWriter& JsonWriter::Uint(uint64_t value) {
    BeforeValue();
    m_out += std::to_string(value);
    AfterValue();
    return *this;
}

JsonWriter& JsonWriter::Bool(bool value) {
    BeforeValue();
    m_out += value ? "true" : "false";
    AfterValue();
    return *this;
}

JsonWriter& JsonWriter::Null() {
    BeforeValue();
    m_out += "null";
    AfterValue();
    return *this;
}
