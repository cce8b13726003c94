// The command-line grammar both programs share, and the options they share.
#include "presentation/options.h"

#include "presentation/render_scale.h"
#include "runtime/gl_setup.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

const OptionDef OPTION_DEF_SIZE = {"--size", "size", OPTION_SIZE, true};
const OptionDef OPTION_DEF_MSAA = {"--msaa", "count", OPTION_MSAA, true};
const OptionDef OPTION_DEF_CAPTIONS = {"--captions", nullptr, OPTION_CAPTIONS, true};
const OptionDef OPTION_DEF_STATS = {"--stats", nullptr, OPTION_STATS, false};
const OptionDef OPTION_DEF_RENDER_SCALE = {"--render-scale", "scale", OPTION_RENDER_SCALE, true};

int options_fault(const OptionsGrammar& grammar, const std::string& problem)
{
    fprintf(stderr, "%s: %s\n%s", grammar.program, problem.c_str(), grammar.usage);
    return OPTIONS_BAD;
}

static std::string quoted(const std::string& text) { return "'" + text + "'"; }

static const OptionDef* option_find(const OptionsGrammar& grammar, const std::string& name)
{
    for (int i = 0; i < grammar.count; i++) {
        if (name == grammar.defs[i].name) return &grammar.defs[i];
    }
    return nullptr;
}

int options_parse(const OptionsGrammar& grammar, int argc, char** argv, OptionRead read, void* context,
                  std::vector<std::string>* operands, std::vector<OptionGiven>* given)
{
    bool options_over = false;
    for (int i = 1; i < argc; i++) {
        const std::string arg = argv[i];
        if (options_over || arg.size() < 2 || arg[0] != '-') {
            operands->push_back(arg);
            continue;
        }
        if (arg == "--") {
            options_over = true;
            continue;
        }
        if (arg == "-h" || arg == "--help") return OPTIONS_HELP;
        if (arg == "--version") return OPTIONS_VERSION;
        const size_t equals = arg.find('=');
        const std::string name = arg.substr(0, equals);
        const OptionDef* def = option_find(grammar, name);
        if (!def) return options_fault(grammar, "unknown option " + quoted(name));
        const char* value = nullptr;
        if (equals != std::string::npos) value = argv[i] + equals + 1;
        if (def->value && !value) {
            if (i + 1 >= argc) return options_fault(grammar, std::string("missing ") + def->value + " after " + quoted(name));
            value = argv[++i];
        }
        if (!def->value && value) return options_fault(grammar, name + " takes no value, not " + quoted(value));
        const std::string takes = read(context, def->code, value);
        if (!takes.empty()) return options_fault(grammar, name + " takes " + takes + ", not " + quoted(value));
        if (given) given->push_back(OptionGiven{def, value ? value : ""});
    }
    return OPTIONS_RUN;
}

SharedOptions shared_options_default()
{
    return SharedOptions{WINDOW_WIDTH, WINDOW_HEIGHT, false, 1, false, false, 1.0f, false};
}

std::string shared_option_read(SharedOptions* shared, int code, const char* value, bool window)
{
    switch (code) {
    case OPTION_SIZE:
        shared->desktop = window && strcmp(value, "desktop") == 0;
        if (shared->desktop || frame_size_parse(value, &shared->width, &shared->height)) return "";
        return std::string("WIDTHxHEIGHT (each 1 to ") + std::to_string(FRAME_SIZE_MAX) + ")" +
               (window ? " or desktop" : "");
    case OPTION_MSAA:
        if (frame_samples_parse(value, &shared->samples)) return "";
        return "a count from 1 to " + std::to_string(FRAME_SAMPLES_MAX);
    case OPTION_CAPTIONS:
        shared->captions = true;
        return "";
    case OPTION_STATS:
        shared->stats = true;
        return "";
    case OPTION_RENDER_SCALE:
        shared->render_scale_auto = window && strcmp(value, "auto") == 0;
        if (shared->render_scale_auto) {
            shared->render_scale = 1.0f;
            return "";
        }
        if (render_scale_parse(value, &shared->render_scale)) return "";
        return std::string("a scale from 0.25 to 1") + (window ? " or auto" : "");
    }
    return "";
}

bool option_whole_number(const char* text, long low, long high, int* number)
{
    char* end = nullptr;
    errno = 0;
    const long value = strtol(text, &end, 10);
    if (errno != 0 || end == text || *end != '\0' || value < low || value > high) return false;
    *number = (int)value;
    return true;
}

bool option_seconds(const char* text, double* seconds)
{
    char* end = nullptr;
    errno = 0;
    const double value = strtod(text, &end);
    if (errno != 0 || end == text || *end != '\0' || !std::isfinite(value)) return false;
    *seconds = value;
    return true;
}
