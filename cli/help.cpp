#include "cli/help.h"

#include <algorithm>
#include <string_view>
#include <vector>

#include "cli/arguments.h"

namespace quillora::cli {
namespace {

// Help lines stay within this width, as on the narrowest terminal.
constexpr std::size_t kWidth = 79;

// Appends text to out, whose last line already holds column characters,
// breaking it between words so that no line passes kWidth; each new line
// starts with indent blanks.
void AppendWrapped(std::string& out, std::string_view text, std::size_t column, std::size_t indent) {
  bool first = true;
  while (!text.empty()) {
    const std::size_t blank = text.find(' ');
    const std::string_view word = text.substr(0, blank);
    text.remove_prefix(blank == std::string_view::npos ? text.size() : blank + 1);
    if (!first && column + 1 + word.size() > kWidth) {
      out += '\n';
      out.append(indent, ' ');
      column = indent;
    } else if (!first) {
      out += ' ';
      ++column;
    }
    out += word;
    column += word.size();
    first = false;
  }
}

// One entry of a two-column list: label, and text beside it from column
// on, or below it when the label is too wide.
void AppendEntry(std::string& out, const std::string& label, std::string_view text, std::size_t column) {
  out += label;
  if (label.size() + 2 > column) {
    out += '\n';
    out.append(column, ' ');
  } else {
    out.append(column - label.size(), ' ');
  }
  AppendWrapped(out, text, column, column);
  out += '\n';
}

std::string OptionLabel(const OptionRow& option) {
  std::string label = option.short_name != 0 ? std::string("  -") + option.short_name + ", " : "      ";
  label += "--" + std::string(option.long_name);
  if (option.TakesValue()) label += " " + std::string(option.value_name);
  return label;
}

// The options the help lists: with no command, those every command takes;
// with one, its own first, then those every command takes.
std::vector<const OptionRow*> ListedOptions(const CommandRow* command) {
  std::vector<const OptionRow*> listed;
  if (command != nullptr)
    for (const OptionRow& option : Options())
      if (!option.commands.empty() && option.TakenBy(command->name)) listed.push_back(&option);
  for (const OptionRow& option : Options())
    if (option.commands.empty()) listed.push_back(&option);
  return listed;
}

std::size_t ColumnFor(const std::vector<const OptionRow*>& options) {
  std::size_t widest = 0;
  for (const OptionRow* option : options) widest = std::max(widest, OptionLabel(*option).size());
  return widest + 2;
}

std::string CommandHelp(const CommandRow& command) {
  std::string text = "usage: quillora-cli " + std::string(command.name) + " [OPTION]... " +
                     std::string(command.operands) + "\n";
  AppendWrapped(text, command.about, 0, 0);
  text += "\n\n";
  const std::vector<const OptionRow*> options = ListedOptions(&command);
  const std::size_t column = ColumnFor(options);
  for (const OptionRow* option : options) AppendEntry(text, OptionLabel(*option), option->help, column);
  std::string statuses = "Exit status:";
  for (int status = 0; status < 4 && !command.exit_statuses[status].empty(); ++status) {
    const bool last = status == 3 || command.exit_statuses[status + 1].empty();
    statuses += " " + std::to_string(status) + " " + std::string(command.exit_statuses[status]);
    statuses += last ? "." : ";";
  }
  text += '\n';
  AppendWrapped(text, statuses, 0, 0);
  return text;
}

// "  make [--no-subfolders] [--format F] FOLDER": the command, the options
// only it takes and its operands, broken before a part that would pass
// kWidth, the lines after the first indented by 4.
std::string CommandLabel(const CommandRow& command) {
  std::string label = "  " + std::string(command.name);
  std::size_t column = label.size();
  const auto add = [&](const std::string& part) {
    if (column + 1 + part.size() > kWidth) {
      label += "\n    ";
      column = 4;
    } else {
      label += ' ';
      ++column;
    }
    label += part;
    column += part.size();
  };
  for (const OptionRow& option : Options())
    if (!option.commands.empty() && option.TakenBy(command.name))
      add("[--" + std::string(option.long_name) + (option.TakesValue() ? " " + std::string(option.value_name) : "") +
          "]");
  add(std::string(command.operands));
  return label;
}

std::string Overview() {
  const std::vector<const OptionRow*> options = ListedOptions(nullptr);
  const std::size_t column = ColumnFor(options);
  std::string text = "usage: quillora-cli COMMAND [OPTION]... [OPERAND]...\n\nCommands:\n";
  for (const CommandRow& command : Commands()) AppendEntry(text, CommandLabel(command), command.summary, column);
  text += "\nOptions (before or after the operands; -- ends them):\n";
  for (const OptionRow* option : options) AppendEntry(text, OptionLabel(*option), option->help, column);
  text += '\n';
  AppendWrapped(text,
                "Exit status: 0 all done (verify: every file OK); 1 a finding: a file could not be read, was left "
                "out, changed, is lost or is new, or a check file holds no record; 2 bad usage or an input error "
                "(its message on standard error); 3 stopped by an error, such as a failed write (its text on "
                "standard error); above 128 stopped by a signal (141: the reader of standard output closed it, "
                "as head does). check exits as the GNU checkers do: 0 when every file is OK, else 1.",
                0, 0);
  return text;
}

}  // namespace

std::string HelpText(const CommandRow* command) { return command != nullptr ? CommandHelp(*command) : Overview(); }

}  // namespace quillora::cli
