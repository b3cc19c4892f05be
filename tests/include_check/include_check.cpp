// Checks every `#include "..."` of the tree against the table of which folder may include
// which, read from docs/architecture.md, so the table and the code cannot drift apart, and
// that the table itself points one way: no folder reaches back to itself through others.
// Usage: include_check <project root>. Prints each breach as file:line and exits 1.
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <optional>
#include <regex>
#include <set>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr char kTableHeading[] = "## Include rules";
const std::vector<std::string> kScannedFolders = {"include", "resources", "shared", "src", "sim",
                                                  "tests",   "bench",     "tools",  "fuzz"};
const std::set<std::string> kSourceExtensions = {".h", ".hpp", ".c", ".cc", ".cpp", ".rc"};
// Where the build looks for quoted includes, after the including file's own folder.
const std::vector<std::string> kSearchRoots = {"include", "src", "shared", ""};

struct Rule {
  std::string folder;                // "src/core/"
  std::set<std::string> mayInclude;  // besides the folder itself; each with its subfolders
};

bool IsWithin(const std::string& path, const std::string& folder) {
  return path.rfind(folder, 0) == 0;
}

bool MayInclude(const Rule& own, const std::string& targetFolder) {
  if (targetFolder == own.folder) return true;
  return std::any_of(own.mayInclude.begin(), own.mayInclude.end(),
                     [&](const std::string& allowed) { return IsWithin(targetFolder, allowed); });
}

std::vector<std::string> Backquoted(const std::string& cell) {
  std::vector<std::string> names;
  static const std::regex quoted("`([^`]+)`");
  for (std::sregex_iterator it(cell.begin(), cell.end(), quoted), end; it != end; ++it) {
    names.push_back((*it)[1]);
  }
  return names;
}

// The rows of the table under kTableHeading: | `folder/` | `a/`, `b/` |
std::vector<Rule> ReadRules(const fs::path& architecture) {
  std::ifstream in(architecture);
  std::vector<Rule> rules;
  std::string line;
  bool inSection = false;
  while (std::getline(in, line)) {
    if (line.rfind("## ", 0) == 0) inSection = line == kTableHeading;
    if (!inSection || line.rfind("| `", 0) != 0) continue;
    const std::size_t split = line.find('|', 1);
    const std::vector<std::string> folder = Backquoted(line.substr(1, split - 1));
    if (folder.size() != 1) continue;
    const std::vector<std::string> allowed = Backquoted(line.substr(split + 1));
    rules.push_back({folder[0], {allowed.begin(), allowed.end()}});
  }
  return rules;
}

// The row a project-relative path belongs to: the longest folder that starts it.
const Rule* RuleFor(const std::vector<Rule>& rules, const std::string& path) {
  const Rule* best = nullptr;
  for (const Rule& rule : rules) {
    if (IsWithin(path, rule.folder) &&
        (best == nullptr || rule.folder.size() > best->folder.size())) {
      best = &rule;
    }
  }
  return best;
}

std::string Relative(const fs::path& root, const fs::path& path) {
  return fs::relative(path, root).generic_string();
}

// Resolves a quoted include as the build does: beside the including file, then the search
// roots, then anywhere in the including file's own folder (its private include folders).
std::optional<std::string> Resolve(const fs::path& root, const fs::path& file,
                                   const std::string& name, const Rule* own) {
  if (fs::exists(file.parent_path() / name)) return Relative(root, file.parent_path() / name);
  for (const std::string& searchRoot : kSearchRoots) {
    if (fs::exists(root / searchRoot / name)) return Relative(root, root / searchRoot / name);
  }
  if (own == nullptr) return std::nullopt;
  for (const auto& entry : fs::recursive_directory_iterator(root / own->folder)) {
    if (entry.is_regular_file() && entry.path().generic_string().ends_with("/" + name)) {
      return Relative(root, entry.path());
    }
  }
  return std::nullopt;
}

// A chain of folders that leads back to its first one, each allowed to include the next:
// empty when the table points one way only.
std::vector<std::string> RoundTrip(const std::vector<Rule>& rules) {
  enum class Mark { Unseen, OnPath, Done };
  std::vector<Mark> marks(rules.size(), Mark::Unseen);
  std::vector<std::string> path;
  const auto visit = [&](const auto& self, std::size_t from) -> bool {
    marks[from] = Mark::OnPath;
    path.push_back(rules[from].folder);
    for (std::size_t to = 0; to < rules.size(); ++to) {
      if (to == from || !MayInclude(rules[from], rules[to].folder)) continue;
      if (marks[to] == Mark::OnPath) {
        path.push_back(rules[to].folder);
        return true;
      }
      if (marks[to] == Mark::Unseen && self(self, to)) return true;
    }
    marks[from] = Mark::Done;
    path.pop_back();
    return false;
  };
  for (std::size_t start = 0; start < rules.size(); ++start) {
    if (marks[start] == Mark::Unseen && visit(visit, start)) {
      const auto first = std::find(path.begin(), path.end(), path.back());
      return {first, path.end()};
    }
  }
  return {};
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: include_check <project root>\n";
    return 2;
  }
  const fs::path root = fs::canonical(argv[1]);
  const std::vector<Rule> rules = ReadRules(root / "docs" / "architecture.md");
  if (rules.empty()) {
    std::cerr << "docs/architecture.md: no table under \"" << kTableHeading << "\"\n";
    return 1;
  }
  if (const std::vector<std::string> round = RoundTrip(rules); !round.empty()) {
    std::cout << "docs/architecture.md: the include rules go round:";
    for (const std::string& folder : round) std::cout << " " << folder;
    std::cout << "\n";
    return 1;
  }

  static const std::regex includeLine(R"re(^\s*#\s*include\s*"([^"]+)")re");
  int files = 0;
  int includes = 0;
  int breaches = 0;
  for (const std::string& folder : kScannedFolders) {
    if (!fs::exists(root / folder)) continue;
    for (const auto& entry : fs::recursive_directory_iterator(root / folder)) {
      if (!entry.is_regular_file() ||
          !kSourceExtensions.contains(entry.path().extension().string())) {
        continue;
      }
      const std::string path = Relative(root, entry.path());
      const Rule* own = RuleFor(rules, path);
      ++files;
      std::ifstream in(entry.path());
      std::string line;
      for (int number = 1; std::getline(in, line); ++number) {
        std::smatch match;
        if (!std::regex_search(line, match, includeLine)) continue;
        ++includes;
        const std::string name = match[1];
        const auto where = [&] { return path + ":" + std::to_string(number) + ": "; };
        if (own == nullptr) {
          std::cout << where() << "folder not in the include rules of docs/architecture.md\n";
          ++breaches;
          continue;
        }
        const std::optional<std::string> target = Resolve(root, entry.path(), name, own);
        if (!target) {
          std::cout << where() << "cannot find \"" << name << "\"\n";
          ++breaches;
          continue;
        }
        const Rule* targetRule = RuleFor(rules, *target);
        const std::string targetFolder = targetRule != nullptr ? targetRule->folder : *target;
        if (MayInclude(*own, targetFolder)) continue;
        std::cout << where() << "includes \"" << name << "\" (" << targetFolder << "), which "
                  << own->folder << " may not include\n";
        ++breaches;
      }
    }
  }
  std::cout << "checked " << includes << " includes in " << files << " files: " << breaches
            << (breaches == 1 ? " breach\n" : " breaches\n");
  return breaches == 0 ? 0 : 1;
}
