// xob-tool-manual: writes a tool's manual page and its bash completion from the tool's own --help
// output, so that neither can drift from the options the tool takes. The page's examples are the
// ones of the tool's section in docs/tools.md ("## NAME", then "**Examples**" and indented lines).
//
// Usage: xob-tool-manual NAME VERSION SEE_ALSO TOOLS_MD MAN_OUT COMPLETION_OUT TOOL_COMMAND...
// The build runs it; TOOL_COMMAND is the built tool (with the cross build's emulator in front).
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

struct Option {
    std::vector<std::string> names;  // "-j", "--json"; a positional's single name, "FILE"
    std::string type;                // "ID ...", "FILE", "TEXT:{a,b}", "TEXT=/default"; empty for flags
    std::string description;
};

struct Section {
    std::string heading;  // empty: a paragraph of the description
    std::vector<std::string> lines;
};

struct Help {
    std::vector<std::string> description;
    std::string usage;
    std::vector<Option> positionals;
    std::vector<Option> options;
    std::vector<Section> footer;
};

bool startsWith(const std::string& text, const std::string& prefix) {
    return text.compare(0, prefix.size(), prefix) == 0;
}

std::string trim(const std::string& text) {
    const auto first = text.find_first_not_of(' ');
    return first == std::string::npos ? std::string() : text.substr(first, text.find_last_not_of(' ') - first + 1);
}

std::vector<std::string> splitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

// "  -i,--id ID ...     only records ..." -> names, type, description (columns are two or more spaces apart).
Option parseEntry(const std::string& line) {
    Option option;
    const std::string text = trim(line);
    const auto gap = text.find("  ");
    const std::string head = text.substr(0, gap);
    if (gap != std::string::npos) {
        option.description = trim(text.substr(gap));
    }
    const auto space = head.find(' ');
    std::istringstream names(head.substr(0, space));
    for (std::string name; std::getline(names, name, ',');) {
        option.names.push_back(name);
    }
    if (space != std::string::npos) {
        option.type = trim(head.substr(space));
    }
    return option;
}

// The blocks of the help: description, "Usage:", then option blocks ("Positionals:", "Options:" or
// an option group's title, each entry starting in column 2), then the footer's paragraphs.
Help parseHelp(const std::vector<std::string>& lines) {
    Help help;
    std::size_t i = 0;
    for (; i < lines.size() && !startsWith(lines[i], "Usage: "); ++i) {
        help.description.push_back(lines[i]);
    }
    if (i == lines.size()) {
        throw std::runtime_error("no \"Usage:\" line in the help");
    }
    help.usage = lines[i++].substr(7);
    for (;;) {
        while (i < lines.size() && trim(lines[i]).empty()) {
            ++i;
        }
        if (i + 1 >= lines.size() || lines[i].back() != ':' || lines[i][0] == ' ') {
            break;
        }
        const bool positionals = lines[i] == "Positionals:";
        if (!positionals && !startsWith(lines[i + 1], "  -")) {
            break;  // a titled paragraph of the footer
        }
        std::vector<Option>& block = positionals ? help.positionals : help.options;
        for (++i; i < lines.size() && !trim(lines[i]).empty(); ++i) {
            if (startsWith(lines[i], "    ") && !block.empty()) {
                Option& last = block.back();
                last.description += (last.description.empty() ? "" : " ") + trim(lines[i]);
            } else {
                block.push_back(parseEntry(lines[i]));
            }
        }
    }
    Section* section = nullptr;
    for (; i < lines.size(); ++i) {
        if (trim(lines[i]).empty()) {
            section = nullptr;
            continue;
        }
        if (section == nullptr) {
            help.footer.push_back(Section());
            section = &help.footer.back();
            // "Title: text" or "Title (--flag):" opens a titled section.
            const auto colon = lines[i].find(':');
            const std::string title = lines[i].substr(0, colon);
            if (colon != std::string::npos && colon <= 30 && std::isupper(static_cast<unsigned char>(title[0])) &&
                title.find_first_of(",.;") == std::string::npos) {
                section->heading = title;
                const std::string rest = trim(lines[i].substr(colon + 1));
                if (!rest.empty()) {
                    section->lines.push_back(rest);
                }
                continue;
            }
        }
        section->lines.push_back(lines[i]);
    }
    return help;
}

// Indented lines of the "**Examples**" block in the "## NAME" section of docs/tools.md.
std::vector<std::string> docsExamples(const std::string& path, const std::string& name) {
    std::ifstream in(path);
    std::vector<std::string> examples;
    bool inSection = false;
    bool inExamples = false;
    for (std::string line; std::getline(in, line);) {
        if (startsWith(line, "## ")) {
            inSection = line == "## " + name;
            inExamples = false;
        } else if (inSection && line == "**Examples**") {
            inExamples = true;
        } else if (inExamples && startsWith(line, "    ")) {
            examples.push_back(line.substr(4));
        } else if (inExamples && !trim(line).empty()) {
            break;
        }
    }
    if (examples.empty()) {
        throw std::runtime_error("no examples for " + name + " in " + path);
    }
    return examples;
}

std::string roff(const std::string& text) {
    std::string out = text[0] == '.' || text[0] == '\'' ? "\\&" : "";
    for (const char c : text) {
        out += c == '\\' ? std::string("\\e") : c == '-' ? std::string("\\-") : std::string(1, c);
    }
    return out;
}

std::string upper(std::string text) {
    for (char& c : text) {
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    return text;
}

void writeLines(std::ostream& out, const std::vector<std::string>& lines) {
    bool verbatim = false;
    for (const std::string& line : lines) {
        const bool indented = startsWith(line, "  ");
        if (indented != verbatim) {
            out << (indented ? ".nf\n" : ".fi\n");
            verbatim = indented;
        }
        out << roff(indented ? line.substr(2) : line) << '\n';
    }
    if (verbatim) {
        out << ".fi\n";
    }
}

void writeOption(std::ostream& out, const Option& option, bool positional) {
    out << ".TP\n";
    for (std::size_t n = 0; n < option.names.size(); ++n) {
        out << (n ? ", " : "") << (positional ? "\\fI" : "\\fB") << roff(option.names[n]) << "\\fR";
    }
    if (!option.type.empty()) {
        out << ' ' << roff(option.type);
    }
    out << '\n' << roff(option.description) << '\n';
}

void writeManual(std::ostream& out, const Help& help, const std::string& name, const std::string& version,
                 const std::string& seeAlso, const std::vector<std::string>& examples) {
    std::string summary = trim(help.description.empty() ? name : help.description[0]);
    summary = summary.substr(0, summary.find_first_of(":."));
    summary[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(summary[0])));
    out << ".\\\" Generated by xob-tool-manual from `" << name << " --help` and docs/tools.md.\n"
        << ".TH " << upper(name) << " 1 \"\" \"xob " << version << "\" \"User Commands\"\n"
        << ".SH NAME\n" << name << " \\- " << roff(summary) << '\n'
        << ".SH SYNOPSIS\n.B " << name << '\n' << roff(help.usage.substr(help.usage.find(' ') + 1)) << '\n'
        << ".SH DESCRIPTION\n";
    writeLines(out, help.description);
    for (const Section& section : help.footer) {
        if (section.heading.empty()) {
            out << ".PP\n";
            writeLines(out, section.lines);
        }
    }
    out << ".SH OPTIONS\n";
    for (const Option& option : help.positionals) {
        writeOption(out, option, true);
    }
    for (const Option& option : help.options) {
        writeOption(out, option, false);
    }
    for (const Section& section : help.footer) {
        if (!section.heading.empty() && section.heading != "Examples") {
            const auto paren = std::min(section.heading.find('('), section.heading.size());
            out << ".SH \"" << roff(upper(section.heading.substr(0, paren)) + section.heading.substr(paren))
                << "\"\n";
            writeLines(out, section.lines);
        }
    }
    out << ".SH EXAMPLES\n.nf\n";
    for (const std::string& example : examples) {
        out << roff(example) << '\n';
    }
    out << ".fi\n.SH \"SEE ALSO\"\n\\fB" << roff(seeAlso) << "\\fR(1)\n";
}

// Words for compgen -W, one per line: the completion function splits on newlines only.
std::string wordList(const std::vector<std::string>& words) {
    std::string out = "$'";
    for (const std::string& word : words) {
        out += (out.size() > 2 ? "\\n" : "") + word;
    }
    return out + "'";
}

// Options with a value: a FILE, DIR or PATH completes file names, a choice list ("TEXT:{a,b}") its
// words, anything else nothing. Other words complete options after "-", else file names.
void writeCompletion(std::ostream& out, const Help& help, const std::string& name) {
    std::string function = "_" + name;
    for (char& c : function) {
        c = c == '-' ? '_' : c;
    }
    std::vector<std::string> all;
    std::ostringstream cases;
    for (const Option& option : help.options) {
        all.insert(all.end(), option.names.begin(), option.names.end());
        if (option.type.empty()) {
            continue;
        }
        std::string names;
        for (const std::string& n : option.names) {
            names += (names.empty() ? "" : "|") + n;
        }
        const auto open = option.type.find('{');
        std::string action = "COMPREPLY=()";
        if (open != std::string::npos) {
            std::vector<std::string> choices;
            std::istringstream list(option.type.substr(open + 1, option.type.find('}') - open - 1));
            for (std::string choice; std::getline(list, choice, ',');) {
                choices.push_back(choice);
            }
            action = "COMPREPLY=($(compgen -W " + wordList(choices) + " -- \"$cur\"))";
        } else if (option.type.find("FILE") != std::string::npos || option.type.find("DIR") != std::string::npos ||
                   option.type.find("PATH") != std::string::npos) {
            action = "COMPREPLY=($(compgen -f -- \"$cur\"))";
        }
        cases << "        " << names << ")\n            " << action << "\n            return ;;\n";
    }
    out << "# bash completion for " << name << ", generated by xob-tool-manual from `" << name << " --help`.\n"
        << function << "()\n{\n"
        << "    local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD-1]} IFS=$'\\n'\n"
        << "    case $prev in\n" << cases.str() << "    esac\n"
        << "    if [[ $cur == -* ]]; then\n"
        << "        COMPREPLY=($(compgen -W " << wordList(all) << " -- \"$cur\"))\n"
        << "    else\n        COMPREPLY=($(compgen -f -- \"$cur\"))\n    fi\n}\n"
        << "complete -o filenames -F " << function << ' ' << name << '\n';
}

std::string runHelp(int argc, char** argv, int first) {
    std::string command;
    for (int n = first; n < argc; ++n) {
        command += std::string(command.empty() ? "'" : " '") + argv[n] + "'";
    }
    std::FILE* pipe = popen((command + " --help").c_str(), "r");
    if (pipe == nullptr) {
        throw std::runtime_error("cannot run " + command);
    }
    std::string text;
    char chunk[4096];
    for (std::size_t got; (got = std::fread(chunk, 1, sizeof chunk, pipe)) > 0;) {
        text.append(chunk, got);
    }
    if (pclose(pipe) != 0) {
        throw std::runtime_error(command + " --help failed");
    }
    return text;
}

void writeFile(const std::string& path, const std::string& content) {
    std::ofstream out(path, std::ios::binary);
    out << content;
    if (!out.flush()) {
        throw std::runtime_error("cannot write " + path);
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 8) {
        std::cerr << "Usage: xob-tool-manual NAME VERSION SEE_ALSO TOOLS_MD MAN_OUT COMPLETION_OUT TOOL_COMMAND...\n";
        return 2;
    }
    try {
        const std::string name = argv[1];
        const Help help = parseHelp(splitLines(runHelp(argc, argv, 7)));
        if (help.options.empty()) {
            throw std::runtime_error("no options in the help of " + name);
        }
        std::ostringstream manual;
        writeManual(manual, help, name, argv[2], argv[3], docsExamples(argv[4], name));
        writeFile(argv[5], manual.str());
        std::ostringstream completion;
        writeCompletion(completion, help, name);
        writeFile(argv[6], completion.str());
    } catch (const std::exception& error) {
        std::cerr << "xob-tool-manual: " << error.what() << '\n';
        return 1;
    }
    return 0;
}
