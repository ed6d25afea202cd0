// Errors and warnings about an input file, each with the file name and, where
// there is one, the line number.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace qdstamp {

struct Diagnostic {
    bool is_error = true;
    std::string file;
    int line = 0;  // 0: about the file as a whole
    std::string message;
};

class Diagnostics {
public:
    void error(const std::string& file, int line, const std::string& message) {
        items_.push_back({true, file, line, message});
    }
    void warning(const std::string& file, int line, const std::string& message) {
        items_.push_back({false, file, line, message});
    }
    bool has_errors() const {
        for (const Diagnostic& d : items_)
            if (d.is_error) return true;
        return false;
    }
    const std::vector<Diagnostic>& items() const { return items_; }
    // "error: app.qdcfg:12: message" / "warning: app.qdcfg: message", in the
    // order a reader fixes them: the files as first named, within a file by
    // line, errors and warnings together, then what concerns the file as a
    // whole.
    void print(std::ostream& out) const;

private:
    std::vector<Diagnostic> items_;
};

}  // namespace qdstamp
