// The qdstamp commands, callable in-process (main.cpp only converts the
// command line).  Each returns the process exit code:
//   0 success, 1 an input is invalid or an output cannot be written,
//   2 the command line is wrong.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace qdstamp {

// The release this qdstamp belongs to: the launcher's version resource and
// the archive names carry the same number.
extern const char kVersion[];

// Largest configuration file accepted.
constexpr std::uint64_t kMaxConfigSize = 4u * 1024u * 1024u;

struct BuildOptions {
    std::string launcher, config, out, icon, splash, splash_2x;
};

int run_build(const BuildOptions& options, std::ostream& err);
int run_check(const std::string& config, std::ostream& err);
int run_show(const std::string& exe, const std::string& out_path, std::ostream& out, std::ostream& err);
// Writes the starter configuration to `out`, or to `out_path`, which must not exist yet.
int run_init(const std::string& out_path, std::ostream& out, std::ostream& err);

// args excludes the program name.
int run_command_line(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace qdstamp
