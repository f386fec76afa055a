#pragma once

// The worked examples of docs/protocol.md: a line "Example `kind`: `key=value ...`"
// followed by a ```hex block of 16 bytes to a line. Anything off that form is reported
// in `error`, so a careless edit of the page fails instead of dropping an example.

#include <cstdint>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace telvane {

struct DOC_EXAMPLE {
    int line = 0;
    std::string kind;
    std::map<std::string, std::string> fields;
    std::vector<std::uint8_t> bytes;
    std::string error;
};

inline std::vector<DOC_EXAMPLE> ReadDocExamples(const std::string& path) {
    std::vector<DOC_EXAMPLE> out;
    std::ifstream file(path);
    if (!file) return {{0, "", {}, {}, "cannot open " + path}};
    std::string text;
    DOC_EXAMPLE pending;
    bool named = false, in_block = false;
    std::size_t block_lines = 0;
    for (int n = 1; std::getline(file, text); ++n) {
        if (text.rfind("Example `", 0) == 0) {
            if (named) out.push_back({pending.line, pending.kind, {}, {}, "example without a hex block"});
            pending = {n, "", {}, {}, ""};
            const std::size_t end = text.find('`', 9);
            pending.kind = text.substr(9, end == std::string::npos ? 0 : end - 9);
            const std::size_t open = text.find('`', end + 1), close = text.rfind('`');
            std::istringstream pairs(open < close ? text.substr(open + 1, close - open - 1) : "");
            for (std::string pair; pairs >> pair;) {
                const std::size_t eq = pair.find('=');
                if (eq == std::string::npos) pending.error = "not key=value: " + pair;
                pending.fields[pair.substr(0, eq)] = eq == std::string::npos ? "" : pair.substr(eq + 1);
            }
            named = true;
        } else if (text == "```hex") {
            if (!named) pending = {n, "", {}, {}, "hex block without an Example line"};
            in_block = true;
            block_lines = 0;
        } else if (in_block && text == "```") {
            out.push_back(pending);
            in_block = named = false;
        } else if (in_block) {
            std::istringstream tokens(text);
            std::size_t count = 0;
            for (std::string t; tokens >> t; ++count) {
                if (t.size() != 2 || t.find_first_not_of("0123456789ABCDEF") != std::string::npos)
                    pending.error = "not an upper-case hex byte: " + t;
                else
                    pending.bytes.push_back(static_cast<std::uint8_t>(std::stoul(t, nullptr, 16)));
            }
            // Every line but the last holds 16 bytes, so offsets can be read off the page.
            if (pending.bytes.size() != 16 * block_lines + count || count == 0 || count > 16)
                pending.error = "hex line " + std::to_string(n) + " breaks the 16-a-line form";
            ++block_lines;
        }
    }
    if (named || in_block) out.push_back({pending.line, pending.kind, {}, {}, "unfinished example at the end"});
    return out;
}

}  // namespace telvane
