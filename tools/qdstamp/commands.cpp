#include "commands.h"

#include <filesystem>
#include <map>
#include <optional>

#include "config_check.h"
#include "config_show.h"
#include "file_io.h"
#include "pe_rewrite.h"
#include "splash_picture.h"
#include "stamp.h"
#include "starter_config.h"
#include "version_info.h"

namespace qdstamp {

const char kVersion[] = QDSTAMP_VERSION;

namespace {

const char kUsage[] =
    "usage:\n"
    "  qdstamp init [--out app.qdcfg]\n"
    "  qdstamp build --launcher qdlauncher-bare.exe --config app.qdcfg --out MyApp.exe\n"
    "                [--icon app.ico] [--splash splash.png [--splash-2x splash@2x.png]]\n"
    "  qdstamp check app.qdcfg\n"
    "  qdstamp show MyApp.exe [--out app.qdcfg]\n"
    "  qdstamp --version\n";

std::optional<Bytes> read_input(const std::string& path, std::uint64_t limit, Diagnostics& diags) {
    try {
        return read_file(path, limit);
    } catch (const Failure& f) {
        diags.error(path, 0, f.what());
        return std::nullopt;
    }
}

std::optional<Config> load_config(const std::string& path, Diagnostics& diags) {
    auto bytes = read_input(path, kMaxConfigSize, diags);
    if (!bytes) return std::nullopt;
    std::string_view text(reinterpret_cast<const char*>(bytes->data()), bytes->size());
    if (auto encoding = foreign_encoding(text)) {
        diags.error(path, 0, "the file is " + *encoding + "; save it as UTF-8 (in Notepad: Save As, Encoding: UTF-8)");
        return std::nullopt;
    }
    return parse_config(text, path, diags);
}

struct Launcher {
    Bytes file;
    PeImage pe;
    std::vector<Resource> resources;
};

std::optional<Launcher> load_launcher(const std::string& path, Diagnostics& diags) {
    auto bytes = read_input(path, kMaxInputSize, diags);
    if (!bytes) return std::nullopt;
    try {
        Launcher l;
        l.file = std::move(*bytes);
        l.pe = parse_pe(l.file);
        l.resources = read_resources(l.file, l.pe);
        return l;
    } catch (const Failure& f) {
        diags.error(path, 0, f.what());
        return std::nullopt;
    }
}

// A splash picture given to build (scale 1 or 2), checked; nullopt when it is
// not given or has an error.
std::optional<SplashPicture> load_splash(const std::string& path, int scale, Diagnostics& diags) {
    if (path.empty()) return std::nullopt;
    auto bytes = read_input(path, kMaxInputSize, diags);
    if (!bytes) return std::nullopt;
    try {
        SplashPicture picture = read_splash_picture(*bytes, scale);
        check_splash_picture(picture, scale, path, diags);
        return picture;
    } catch (const Failure& f) {
        diags.error(path, 0, f.what());
        return std::nullopt;
    }
}

int finish(const Diagnostics& diags, std::ostream& err) {
    diags.print(err);
    return diags.has_errors() ? 1 : 0;
}

// A configuration text to `out`, or to the file `out_path` when one is given.
void emit_text(const std::string& text, const std::string& out_path, std::ostream& out, Diagnostics& diags) {
    if (out_path.empty()) {
        out << text;
        return;
    }
    try {
        write_file_atomic(out_path, Bytes(text.begin(), text.end()));
    } catch (const Failure& f) {
        diags.error(out_path, 0, f.what());
    }
}

}  // namespace

int run_build(const BuildOptions& o, std::ostream& err) {
    Diagnostics diags;
    auto config = load_config(o.config, diags);
    auto launcher = load_launcher(o.launcher, diags);
    if (launcher) {
        try {
            refuse_signed(launcher->pe);
        } catch (const Failure& f) {
            diags.error(o.launcher, 0, f.what());
        }
    }
    std::optional<std::vector<IconImage>> icon;
    if (!o.icon.empty())
        if (auto bytes = read_input(o.icon, kMaxInputSize, diags)) try {
                icon = parse_ico(*bytes);
            } catch (const Failure& f) {
                diags.error(o.icon, 0, f.what());
            }
    std::optional<SplashPicture> splash = load_splash(o.splash, 1, diags);
    std::optional<SplashPicture> splash_2x = load_splash(o.splash_2x, 2, diags);
    if (splash && splash_2x) check_splash_pair(*splash, *splash_2x, o.splash_2x, diags);
    if (config) {
        CheckContext context;
        context.building = true;
        if (!o.splash.empty()) context.splash = SplashSource::Given;
        else if (launcher) context.splash = find_resource(launcher->resources, kRtBitmap, 1) ? SplashSource::Available : SplashSource::Missing;
        if (launcher) {
            const Resource* version = find_resource(launcher->resources, kRtVersion, 1);
            context.launcher_version = version ? version_strings(version->data) : std::map<std::u16string, std::u16string>();
            context.console_launcher = launcher->pe.subsystem == kSubsystemConsole;
        }
        check_config(*config, context, diags);
    }
    if (diags.has_errors() || !config || !launcher) return finish(diags, err);

    StampInputs in;
    in.config = &*config;
    in.icon = icon ? &*icon : nullptr;
    in.splash_dib = splash ? &splash->dib : nullptr;
    in.splash_2x_dib = splash_2x ? &splash_2x->dib : nullptr;
    try {
        RewriteResult result = replace_resources(launcher->file, launcher->pe, stamped_resources(launcher->resources, in));
        try {
            write_file_atomic(o.out, result.file);
        } catch (const Failure& f) {
            diags.error(o.out, 0, f.what());
        }
    } catch (const Failure& f) {
        diags.error(o.launcher, 0, f.what());
    }
    return finish(diags, err);
}

int run_check(const std::string& path, std::ostream& err) {
    Diagnostics diags;
    if (auto config = load_config(path, diags)) check_config(*config, CheckContext(), diags);
    return finish(diags, err);
}

int run_show(const std::string& exe, const std::string& out_path, std::ostream& out, std::ostream& err) {
    Diagnostics diags;
    auto launcher = load_launcher(exe, diags);
    if (!launcher) return finish(diags, err);
    emit_text(show_config(launcher->resources, exe, diags), out_path, out, diags);
    return finish(diags, err);
}

int run_init(const std::string& out_path, std::ostream& out, std::ostream& err) {
    Diagnostics diags;
    std::error_code ec;
    if (!out_path.empty() && std::filesystem::exists(std::filesystem::u8path(out_path), ec))
        diags.error(out_path, 0, "already exists; init never overwrites a configuration: give another name");
    else
        emit_text(starter_config(), out_path, out, diags);
    return finish(diags, err);
}

int run_command_line(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    auto usage_error = [&](const std::string& message) {
        err << "error: " << message << "\n" << kUsage;
        return 2;
    };
    if (args.empty()) return usage_error("no command given");
    const std::string& command = args[0];
    if (command == "help" || command == "--help" || command == "-h") {
        out << kUsage;
        return 0;
    }
    if (command == "--version" || command == "version") {
        out << "qdstamp " << kVersion << "\n";
        return 0;
    }

    // Positional arguments and --name value / --name=value options.
    std::vector<std::string> positional;
    std::map<std::string, std::string> options;
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a.rfind("--", 0) != 0) {
            positional.push_back(a);
            continue;
        }
        std::string name = a, value;
        std::size_t eq = a.find('=');
        if (eq != std::string::npos) {
            name = a.substr(0, eq);
            value = a.substr(eq + 1);
        } else if (i + 1 < args.size()) {
            value = args[++i];
        } else {
            return usage_error("option " + a + " needs a value");
        }
        if (value.empty()) return usage_error("option " + name + " needs a value");
        if (!options.emplace(name, value).second) return usage_error("option " + name + " given twice");
    }
    auto allow = [&](std::initializer_list<const char*> names) -> std::string {
        for (const auto& [name, value] : options) {
            bool known = false;
            for (const char* n : names) known = known || name == n;
            if (!known) return name;
        }
        return {};
    };

    if (command == "build") {
        if (std::string bad = allow({"--launcher", "--config", "--out", "--icon", "--splash", "--splash-2x"}); !bad.empty())
            return usage_error("unknown option " + bad + " for build");
        if (!positional.empty()) return usage_error("unexpected argument " + positional[0]);
        BuildOptions o{options["--launcher"], options["--config"], options["--out"],
                       options["--icon"],     options["--splash"], options["--splash-2x"]};
        if (o.launcher.empty() || o.config.empty() || o.out.empty())
            return usage_error("build needs --launcher, --config and --out");
        // The 2x picture belongs to the 1x picture given with it: --splash
        // replaces both, so an earlier 2x picture never stays with a new one.
        if (!o.splash_2x.empty() && o.splash.empty()) return usage_error("--splash-2x needs --splash");
        return run_build(o, err);
    }
    if (command == "check") {
        if (std::string bad = allow({}); !bad.empty()) return usage_error("unknown option " + bad + " for check");
        if (positional.size() != 1) return usage_error("check takes one configuration file");
        return run_check(positional[0], err);
    }
    if (command == "init") {
        if (std::string bad = allow({"--out"}); !bad.empty()) return usage_error("unknown option " + bad + " for init");
        if (!positional.empty()) return usage_error("init takes no argument (write the file with --out app.qdcfg)");
        return run_init(options["--out"], out, err);
    }
    if (command == "show") {
        if (std::string bad = allow({"--out"}); !bad.empty()) return usage_error("unknown option " + bad + " for show");
        if (positional.size() != 1) return usage_error("show takes one executable");
        return run_show(positional[0], options["--out"], out, err);
    }
    return usage_error("unknown command " + command);
}

}  // namespace qdstamp
