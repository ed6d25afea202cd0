#include "diagnostics.h"

#include <algorithm>
#include <climits>

namespace qdstamp {

// The checks run rule by rule, not line by line, so the order they find
// problems in jumps about the file; messages of one line keep that order.
void Diagnostics::print(std::ostream& out) const {
    struct Place {
        std::size_t file;
        int line;
        const Diagnostic* item;
    };
    std::vector<std::string> files;
    std::vector<Place> places;
    for (const Diagnostic& d : items_) {
        std::size_t file = static_cast<std::size_t>(std::find(files.begin(), files.end(), d.file) - files.begin());
        if (file == files.size()) files.push_back(d.file);
        places.push_back({file, d.line > 0 ? d.line : INT_MAX, &d});
    }
    std::stable_sort(places.begin(), places.end(), [](const Place& a, const Place& b) {
        return a.file != b.file ? a.file < b.file : a.line < b.line;
    });
    for (const Place& place : places) {
        const Diagnostic& d = *place.item;
        out << (d.is_error ? "error: " : "warning: ") << d.file;
        if (d.line > 0) out << ':' << d.line;
        out << ": " << d.message << '\n';
    }
}

}  // namespace qdstamp
