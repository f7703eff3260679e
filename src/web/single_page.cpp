#include "web/single_page.h"

#include <algorithm>
#include <cctype>
#include <set>
#include <vector>

#include "web/page_assets.h"

namespace {

constexpr std::string_view style_link = "<link rel=\"stylesheet\" href=\"style.css\">";
constexpr std::string_view module_script = "<script type=\"module\" src=\"main.js\"></script>";
constexpr std::string_view entry_module = "main.js";

struct Import {
  std::string names;   // "a, b" as written between the braces
  std::string module;  // "tiles.js"
};

struct Module {
  std::string name;
  std::string body;  // imports removed, "export " removed
  std::vector<Import> imports;
  std::vector<std::string> exports;
};

bool starts_with(std::string_view text, std::string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

// The identifier at the start of `text`.
std::string identifier(std::string_view text) {
  std::size_t end = 0;
  while (end < text.size() && (std::isalnum(static_cast<unsigned char>(text[end])) ||
                               text[end] == '_' || text[end] == '$')) {
    ++end;
  }
  return std::string(text.substr(0, end));
}

// The name an export declaration declares: "export function f(",
// "export async function f(", "export const X =", "export class C".
std::string exported_name(std::string_view declaration) {
  for (std::string_view keyword : {"async function ", "function ", "const ", "let ", "class "}) {
    if (starts_with(declaration, keyword)) return identifier(declaration.substr(keyword.size()));
  }
  return "";
}

// "import { a, b } from './x.js';" (possibly over several lines).
bool parse_import(std::string_view statement, Import& import) {
  const std::size_t open = statement.find('{');
  const std::size_t close = statement.find('}');
  const std::size_t from = statement.find("from './");
  if (open == std::string_view::npos || close < open || from == std::string_view::npos) {
    return false;
  }
  const std::size_t start = from + 8;
  const std::size_t quote = statement.find('\'', start);
  if (quote == std::string_view::npos) return false;
  std::string names(statement.substr(open + 1, close - open - 1));
  std::replace(names.begin(), names.end(), '\n', ' ');
  import = {names, std::string(statement.substr(start, quote - start))};
  return true;
}

bool parse_module(const std::string& name, Module& module) {
  const std::string_view text = page_asset(name);
  if (text.empty()) return false;
  module.name = name;
  std::size_t at = 0;
  std::string statement;
  while (at < text.size()) {
    std::size_t end = text.find('\n', at);
    if (end == std::string_view::npos) end = text.size();
    const std::string_view line = text.substr(at, end - at);
    at = end + 1;
    if (!statement.empty() || starts_with(line, "import ")) {
      statement.append(line).append("\n");
      if (line.find(';') == std::string_view::npos) continue;
      Import import;
      if (!parse_import(statement, import)) return false;
      module.imports.push_back(import);
      statement.clear();
      continue;
    }
    if (starts_with(line, "export ")) {
      const std::string_view declaration = line.substr(7);
      const std::string exported = exported_name(declaration);
      if (exported.empty()) return false;
      module.exports.push_back(exported);
      module.body.append(declaration).append("\n");
      continue;
    }
    module.body.append(line).append("\n");
  }
  return statement.empty();
}

// The modules from `name` down, each after the modules it imports.
bool collect_modules(const std::string& name, std::set<std::string>& visiting,
                     std::vector<Module>& ordered) {
  for (const Module& module : ordered) {
    if (module.name == name) return true;
  }
  if (!visiting.insert(name).second) return false;  // an import cycle
  Module module;
  if (!parse_module(name, module)) return false;
  for (const Import& import : module.imports) {
    if (!collect_modules(import.module, visiting, ordered)) return false;
  }
  ordered.push_back(std::move(module));
  return true;
}

std::string module_variable(const std::string& name) {
  std::string variable = "module_" + name.substr(0, name.find('.'));
  std::replace(variable.begin(), variable.end(), '-', '_');
  return variable;
}

}  // namespace

std::string joined_page_script() {
  std::vector<Module> modules;
  std::set<std::string> visiting;
  if (!collect_modules(std::string(entry_module), visiting, modules)) return "";
  std::string script = "(function () {\n'use strict';\n";
  for (const Module& module : modules) {
    script += "// " + module.name + "\nconst " + module_variable(module.name) + " = (function () {\n";
    for (const Import& import : module.imports) {
      script += "const {" + import.names + "} = " + module_variable(import.module) + ";\n";
    }
    script += module.body;
    script += "return {";
    for (std::size_t i = 0; i < module.exports.size(); ++i) {
      script += (i > 0 ? ", " : " ") + module.exports[i];
    }
    script += " };\n})();\n";
  }
  script += "})();\n";
  return script;
}

std::string single_page_html(std::string_view embedded_json) {
  std::string html(page_asset("index.html"));
  const std::string script = joined_page_script();
  const std::string_view style = page_asset("style.css");
  const std::size_t link_at = html.find(style_link);
  const std::size_t script_at = html.find(module_script);
  // Nothing inlined may end its element early.
  if (script.empty() || style.empty() || link_at == std::string::npos ||
      script_at == std::string::npos || script.find("</script") != std::string::npos ||
      style.find("</style") != std::string_view::npos) {
    return "";
  }
  std::string data = "<script type=\"application/json\" id=\"relumo-embedded\">";
  data.append(embedded_json);
  data += "</script>\n<script>\n" + script + "</script>";
  html.replace(script_at, module_script.size(), data);
  html.replace(link_at, style_link.size(), "<style>\n" + std::string(style) + "</style>");
  return html;
}
