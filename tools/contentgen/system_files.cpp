// The shared lists under system/: texture database, battle areas, message
// tables and the two light-map effect files.
#include "tools/contentgen/catalog.h"
#include "tools/contentgen/common.h"

namespace halvex::contentgen {
namespace {

// Table 1: greetings; 2: taunts; 3: a fragger about its victim (fragger,
// victim); 4: a victim about its fragger (victim, fragger).
const char* const kGreetings[] = {
    "%s: Ready when you are, %s.",
    "%s: Morning, %s. Lovely day for it.",
    "%s: %s, I saved you a spot by the pools.",
    "%s: Stretch first, %s. This will hurt.",
    "%s: Nice boots, %s. Shame about the aim.",
    "%s: Hello %s! Try to keep up.",
    "%s: I hope you brought spare armor, %s.",
    "%s: Welcome to the island, %s.",
    "%s: %s, the tower is mine. Just so you know.",
    "%s: Let's keep it clean, %s. Mostly.",
    "%s: Good luck, %s. You'll need it.",
    "%s: Oh look, %s made it.",
};
const char* const kTaunts[] = {
    "%s: Is that the best you've got, %s?",
    "%s: %s, you run like a raven with one wing.",
    "%s: I've seen sharks aim better, %s.",
    "%s: Come up the ramp, %s. I dare you.",
    "%s: Still counting your frags on one hand, %s?",
    "%s: %s, the reload key is not a suggestion.",
    "%s: Hiding behind the monument again, %s?",
    "%s: You missed, %s. Again.",
    "%s: I could do this all day, %s.",
    "%s: %s, that was a warning shot. Probably.",
    "%s: Less strafing, more hitting, %s.",
    "%s: Tick tock, %s.",
    "%s: Nice try, %s. Really. Nice.",
    "%s: %s, are you lost?",
};
const char* const kFraggerLines[] = {
    "%s: Sit down, %s.",
    "%s: That one's for the scoreboard, %s.",
    "%s: Too slow, %s!",
    "%s: %s, say hello to the sharks.",
    "%s: Thanks for standing still, %s.",
    "%s: Next time duck, %s.",
    "%s: Special delivery for %s.",
    "%s: %s should have taken the armor.",
    "%s: And stay down, %s.",
    "%s: One more for me, none for %s.",
    "%s: Respawn and try again, %s.",
    "%s: Right between the eyes, %s.",
};
const char* const kVictimLines[] = {
    "%s: Lucky shot, %s.",
    "%s: I slipped! That doesn't count, %s.",
    "%s: Enjoy it while it lasts, %s.",
    "%s: %s, I'll remember that.",
    "%s: Cheap shot, %s!",
    "%s: My mouse died, %s. Honest.",
    "%s: Fine, %s. Round two.",
    "%s: I let you have that one, %s.",
    "%s: %s, you'll pay for that.",
    "%s: Ouch. Well played, %s.",
    "%s: That rocket came from nowhere, %s!",
    "%s: I'm coming for you, %s.",
};

template <size_t N>
std::string Table(const char* const (&lines)[N]) {
  std::string s = std::to_string(N) + "\n";
  for (const char* line : lines) s += std::string(line) + "\n";
  return s;
}

std::string Messages() {
  return "Message tables: a count line, then that many lines.\n"
         "Each line may hold up to two %s: two combatant names.\n"
         "Tables: greetings, taunts, fragger about victim, victim about fragger.\n"
         "Greetings\n" +
         Table(kGreetings) + "Taunts\n" + Table(kTaunts) + "Fragger about victim\n" + Table(kFraggerLines) +
         "Victim about fragger\n" + Table(kVictimLines);
}

// The light-map effects. Format: '#' starts a comment; a technique holds
// passes; a pass holds texture-stage lines
//   stage <n> texture <parameter> colorop <op> colorarg1 <arg> colorarg2 <arg>
//         alphaop <op> alphaarg1 <arg> alphaarg2 <arg> texcoord <set>
// with ops and args by their fixed-function names, and render-state lines
//   state <name> <value>
// The first technique is tried first; the second is the fallback.
std::string Effect(bool translucent) {
  std::string s = std::string("# Light-mapped tile surfaces") + (translucent ? " (translucent pass)" : "") +
                  ": the surface texture tex0 brightened by the caustics frame tex1.\n"
                  "texture tex0\ntexture tex1\n\n"
                  "technique CausticsOnePass\n"
                  "pass P0\n"
                  "  stage 0 texture tex0 colorop modulate colorarg1 texture colorarg2 diffuse "
                  "alphaop modulate alphaarg1 texture alphaarg2 diffuse texcoord 0\n"
                  "  stage 1 texture tex1 colorop add colorarg1 texture colorarg2 current "
                  "alphaop selectarg1 alphaarg1 current alphaarg2 current texcoord 1\n";
  if (translucent) s += "  state alphablendenable true\n  state srcblend srcalpha\n  state destblend invsrcalpha\n";
  s += "end\n\n"
       "technique CausticsTwoPass\n"
       "pass P0\n"
       "  stage 0 texture tex0 colorop modulate colorarg1 texture colorarg2 diffuse "
       "alphaop modulate alphaarg1 texture alphaarg2 diffuse texcoord 0\n";
  if (translucent) s += "  state alphablendenable true\n  state srcblend srcalpha\n  state destblend invsrcalpha\n";
  s += "end\n"
       "pass P1\n"
       "  stage 0 texture tex1 colorop selectarg1 colorarg1 texture colorarg2 diffuse "
       "alphaop selectarg1 alphaarg1 texture alphaarg2 diffuse texcoord 1\n"
       "  state alphablendenable true\n  state srcblend one\n  state destblend one\n  state zwriteenable false\n"
       "end\n";
  return s;
}

}  // namespace

void GenerateSystemFiles(Pack& pack) {
  std::string textures = std::to_string(kDatabaseTextures.size()) + "\n";
  for (const char* name : kDatabaseTextures) textures += std::string(name) + "\n";
  pack.Write("system/textures.txt", textures);
  // The simple area first; index 1, the richer one, is the default.
  pack.Write("system/worlds.txt", "2\nProving Grounds\nSunken Citadel\n");
  pack.Write("system/messages.txt", Messages());
  pack.Write("system/multitex.fxz", Effect(false));
  pack.Write("system/multitexa.fxz", Effect(true));
}

}  // namespace halvex::contentgen
