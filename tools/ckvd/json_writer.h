// A JSON document written as it is made: values, arrays and objects in order, commas and escapes taken
// care of, the text handed on in pieces so that the listing of a disc of many files is never held whole.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

class JsonWriter {
  public:
    explicit JsonWriter(std::function<void(std::string_view)> sink) : m_sink(std::move(sink)) {}
    ~JsonWriter() { Flush(); }
    JsonWriter(const JsonWriter&) = delete;
    JsonWriter& operator=(const JsonWriter&) = delete;

    JsonWriter& BeginObject();
    JsonWriter& EndObject();
    JsonWriter& BeginArray();
    JsonWriter& EndArray();
    // The key of the next value in an object.
    JsonWriter& Key(std::string_view key);
    // UTF-8 text; bytes that are not UTF-8 (a drive's vendor name, say) become U+FFFD.
    JsonWriter& String(std::string_view utf8);
    JsonWriter& Int(int64_t value);
    JsonWriter& Uint(uint64_t value);
    JsonWriter& Bool(bool value);
    JsonWriter& Null();
    // Hands on what was written (the document ends with a line break once the outermost value is closed).
    void Flush();

  private:
    void BeforeValue();
    void AfterValue();
    void MaybeFlush();

    std::function<void(std::string_view)> m_sink;
    std::string m_out;
    std::vector<bool> m_hasItems; // per open array or object: whether an item was written
    bool m_afterKey = false;
};
