#include "procedures/csv.h"

namespace telvane {

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string_view Trim(std::string_view s) {
    while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
    return s;
}

class Reader {
public:
    explicit Reader(std::string_view text) : text_(text) {}

    CSV_DOCUMENT Read() {
        if (text_.starts_with("\xEF\xBB\xBF")) pos_ = 3;
        while (pos_ < text_.size() && doc_.Ok()) ReadRecord();
        if (!doc_.Ok()) doc_.records.clear();
        return std::move(doc_);
    }

private:
    bool AtEnd() const { return pos_ >= text_.size(); }
    bool AtLineEnd() const { return AtEnd() || text_[pos_] == '\n' || text_[pos_] == '\r'; }

    // Consumes one line end (CRLF counts as one).
    void SkipLineEnd() {
        if (AtEnd()) return;
        if (text_[pos_] == '\r' && pos_ + 1 < text_.size() && text_[pos_ + 1] == '\n') ++pos_;
        ++pos_;
        ++line_;
    }

    void Fail(std::size_t line, std::string message) {
        doc_.error = std::move(message);
        doc_.error_line = line;
    }

    void ReadRecord() {
        CSV_RECORD record;
        record.line = line_;
        bool any_quoted = false;
        for (;;) {
            std::string field;
            bool quoted = false;
            if (!ReadField(field, quoted)) return;
            any_quoted = any_quoted || quoted;
            record.fields.push_back(std::move(field));
            if (AtLineEnd()) break;
            ++pos_;  // the comma
        }
        SkipLineEnd();
        const bool blank_line = record.fields.size() == 1 && record.fields[0].empty() && !any_quoted;
        if (!blank_line) doc_.records.push_back(std::move(record));
    }

    bool ReadField(std::string& out, bool& quoted) {
        std::size_t start = pos_;
        while (!AtEnd() && IsBlank(text_[pos_])) ++pos_;
        if (!AtEnd() && text_[pos_] == '"') {
            quoted = true;
            return ReadQuoted(out);
        }
        pos_ = start;
        while (!AtLineEnd() && text_[pos_] != ',') {
            if (text_[pos_] == '"') {
                Fail(line_, "a quote inside an unquoted field");
                return false;
            }
            ++pos_;
        }
        out = std::string(Trim(text_.substr(start, pos_ - start)));
        return true;
    }

    bool ReadQuoted(std::string& out) {
        const std::size_t opened_on = line_;
        ++pos_;  // the opening quote
        for (;;) {
            if (AtEnd()) {
                Fail(opened_on, "a quoted field is not closed");
                return false;
            }
            const char c = text_[pos_];
            if (c == '"') {
                if (pos_ + 1 < text_.size() && text_[pos_ + 1] == '"') {
                    out.push_back('"');
                    pos_ += 2;
                    continue;
                }
                ++pos_;
                break;
            }
            if (c == '\r' || c == '\n') {
                // A line break inside quotes belongs to the field, CRLF as one "\n".
                if (c == '\r' && pos_ + 1 < text_.size() && text_[pos_ + 1] == '\n') ++pos_;
                out.push_back('\n');
                ++pos_;
                ++line_;
                continue;
            }
            out.push_back(c);
            ++pos_;
        }
        while (!AtEnd() && IsBlank(text_[pos_])) ++pos_;
        if (!AtLineEnd() && text_[pos_] != ',') {
            Fail(line_, "text after a closing quote");
            return false;
        }
        return true;
    }

    std::string_view text_;
    std::size_t pos_ = 0;
    std::size_t line_ = 1;
    CSV_DOCUMENT doc_;
};

}  // namespace

CSV_DOCUMENT ParseCsv(std::string_view text) {
    return Reader(text).Read();
}

}  // namespace telvane
