// The help page that "Get Help!" opens: Halvex2.html beside the content.
#include "tools/contentgen/catalog.h"
#include "tools/contentgen/common.h"

namespace halvex::contentgen {
namespace {

struct Row {
  const char* name;
  const char* text;
};

const Row kMouse[] = {{"Move Mouse", "Aim/Turn"}, {"Left Button", "Shoot"}, {"Right Button", "Jump/Fly"},
                      {"Middle Button", "Not Used"}, {"Roll Wheel", "Change Weapon"}};
const Row kKeys[] = {{"W", "Move Forward"},         {"S", "Move Backward"},        {"A", "Strafe Left"},
                     {"D", "Strafe Right"},         {"Space", "Reload (and respawn after a frag)"},
                     {"Enter", "Chat System"},      {"Left Shift", "Show Chat (with Backspace: clear it)"},
                     {"Tab", "Score/Stats"},        {"F1", "This Help"},          {"F2", "Toggle Framerate"},
                     {"F9", "Fixed Camera"},        {"F10", "Toggle Realism"},    {"F11", "Capture Screenshot"},
                     {"F12", "Toggle Spectator"},   {"Escape", "Leave the match"}};
const Row kOptions[] = {
    {"Character Name", "The name other fighters see on the scoreboard and in chat."},
    {"Multiplayer Game", "Yes to host or join a network game, No to fight bots on this machine."},
    {"Full Screen Mode", "Run full screen instead of in a window."},
    {"Custom Soundtrack", "Play a music file of your choice (MP3, WAV or MIDI) during the match."},
    {"Hardware T&amp;L", "Let the graphics card transform and light the scene."},
    {"Software Mode", "Fall back to the slowest, most compatible drawing."},
    {"Select Battle Area", "Where to fight: Proving Grounds to learn, Sunken Citadel for the full island."},
    {"Number of Bots", "How many computer fighters join a single-player match (up to 32)."},
    {"Difficulty of Bots", "How well bots aim and how often they fire."},
    {"Screen Resolution", "The size of the game's picture."},
    {"Your IP Address", "Shown so that friends can join a game you host."},
    {"Amount of Blood", "From none to plenty."}};
const Row kAdvanced[] = {
    {"Show Framerate", "Frames per second in the corner."},
    {"Allow Player Flight", "Hold the right button to keep rising."},
    {"Primary Lighting", "The sun and the lights of the scene."},
    {"Allow Enemy Attack", "Bots shoot back."},
    {"Allow Enemy AI", "Bots move and think; off, they stand still."},
    {"Render High Detail", "Detailed battle-area models and textures."},
    {"High Quality BG", "Full-size sky, sharks and ravens."},
    {"Additional Realism", "Fallen fighters stay on the ground for a while."},
    {"Specular Highlights", "Shiny highlights on surfaces."},
    {"Render Background", "The sea and the sky."},
    {"Render Trees", "The trees on the island."},
    {"Render Projectiles", "Visible bullets and rockets."},
    {"Texture Filtering", "Smooth textures up close."},
    {"Enable Mip-Mapping", "Smooth textures in the distance."},
    {"Allow Debug Mode", "Debugging views such as the overdraw scan."},
    {"Alternative Memory", "Keep models in another kind of memory; try it if drawing fails."},
    {"Enable Light-Mapping", "Rippling light on the floors of the pools."},
    {"Environment Mapping", "Reflections on the monument."}};

template <size_t N>
std::string TableOf(const Row (&rows)[N]) {
  std::string s = "<table>\n";
  for (const Row& r : rows) s += "<tr><th>" + std::string(r.name) + "</th><td>" + r.text + "</td></tr>\n";
  return s + "</table>\n";
}

}  // namespace

void GenerateHelp(Pack& pack) {
  std::string h =
      "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n<title>Halvex Help</title>\n"
      "<style>body{font-family:sans-serif;max-width:50em;margin:2em auto;background:#f6f1e7;color:#222}"
      "h1,h2{color:#7a4b12}th{text-align:left;padding-right:1.5em;white-space:nowrap}td,th{padding:2px 0}"
      "code{background:#e8e0cf;padding:0 3px}</style>\n</head>\n<body>\n"
      "<h1>Halvex</h1>\n<p>Varnholt - Halvex : Standard. Free-For-All on an island in the open sea.</p>\n"
      "<h2>Getting started</h2>\n<ol>\n"
      "<li>Type your name in <b>Character Name</b>, pick a battle area and the number of bots, press Start.</li>\n"
      "<li>When the logo has landed, press Enter to begin the battle.</li>\n"
      "<li>You start as a spectator: press F12 to enter the battle.</li>\n"
      "<li>Pick up the glowing orbs for power and the breastplates for armor. When you are fragged, press "
      "Space to come back.</li>\n</ol>\n"
      "<h2>Mouse</h2>\n" +
      TableOf(kMouse) + "<h2>Keyboard</h2>\n" + TableOf(kKeys) + "<h2>Options</h2>\n" + TableOf(kOptions) +
      "<h2>Advanced options</h2>\n" + TableOf(kAdvanced) +
      "<h2>Chat</h2>\n<p>Press Enter, type a line and press Enter again to send it to everyone.</p>\n"
      "<table>\n<tr><th><code>/me text</code></th><td>an action line: your name followed by the text.</td></tr>\n"
      "<tr><th><code>/setvar Name value</code></th><td>sets one of your own game values (0 to 999): "
      "<code>Attack</code>, <code>AI</code>, <code>Power</code>, <code>Ammo</code> or <code>Armor</code>; "
      "everyone sees the change.</td></tr>\n</table>\n"
      "<h2>Files</h2>\n<ul>\n"
      "<li>Settings are kept in a text file in the folder <code>varnholt</code> of your configuration folder "
      "(<code>$XDG_CONFIG_HOME</code>, usually <code>~/.config</code>).</li>\n"
      "<li>Screenshots (F11) go to <code>Screens/Picture00.bmp</code> to <code>Picture99.bmp</code> in the "
      "game's folder.</li>\n"
      "<li>Battle areas live in <code>worlds/</code>; the list of areas is <code>system/worlds.txt</code>.</li>\n"
      "</ul>\n</body>\n</html>\n";
  pack.Write("Halvex2.html", h);
}

void GeneratePack(Pack& pack) {
  GenerateSystemFiles(pack);
  GenerateTextures(pack);
  GenerateObjects(pack);
  GenerateAreas(pack);
  GenerateSounds(pack);
  GenerateHelp(pack);
  GenerateReadme(pack);
  GenerateIcons(pack);
}

}  // namespace halvex::contentgen
