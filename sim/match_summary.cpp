#include "sim/match_summary.h"

#include <algorithm>
#include <cstdio>
#include <numeric>
#include <vector>

#include "sim/match_setup.h"

namespace halvex {

namespace {

void AppendRow(std::string& out, const char* name, int score, int power, int shots) {
  char row[96];
  std::snprintf(row, sizeof row, "%-20s %6d %6d %7d\n", name, score, power, shots);
  out += row;
}

}  // namespace

std::string ScoreboardText(const MatchState& s) {
  std::vector<int> order(static_cast<std::size_t>(std::max(s.combatantCount, 0)));
  std::iota(order.begin(), order.end(), 0);
  std::stable_sort(order.begin(), order.end(),
                   [&](int a, int b) { return s.combatants[a].frags > s.combatants[b].frags; });
  char header[96];
  std::snprintf(header, sizeof header, "%-20s %6s %6s %7s\n", "Name", "Score", "Power", "Shots");
  std::string out = header;
  AppendRow(out, s.settings.playerName.c_str(), s.player.frags, s.player.power, s.player.shotsFired);
  for (int i : order) {
    const Combatant& c = s.combatants[i];
    AppendRow(out, c.name.data(), c.frags, c.power, c.shotsFired);
  }
  return out;
}

std::string StateHashLine(const MatchState& s) {
  char line[48];
  std::snprintf(line, sizeof line, "state hash %016llx",
                static_cast<unsigned long long>(HashMatchState(s)));
  return line;
}

}  // namespace halvex
