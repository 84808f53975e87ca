#!/bin/sh
# Assembles each fuzz target's seed corpus: files of the generated content
# pack (with the reader-selector byte a target expects in front), the
# checked-in hand-made inputs of fuzz/corpus/<target>/ and the kept
# regression inputs of fuzz/regressions/<target>/.
#
#   fuzz/seed_corpus.sh CONTENT_DIR WORK_DIR
#
# writes WORK_DIR/seeds/<target>/ afresh and makes WORK_DIR/corpus/<target>/
# (where fuzzing adds what it finds) if it is missing.
set -eu
content=$1
work=$2
here=$(cd "$(dirname "$0")" && pwd)
targets="fuzz_content_files fuzz_dds fuzz_image fuzz_xfile fuzz_settings fuzz_script fuzz_chat
fuzz_midi fuzz_net_messages fuzz_peer fuzz_demo"
[ -f "$content/system/worlds.txt" ] || { echo "no content pack at $content" >&2; exit 1; }

for t in $targets; do
  rm -rf "$work/seeds/$t"
  mkdir -p "$work/seeds/$t" "$work/corpus/$t"
  for dir in "$here/corpus/$t" "$here/regressions/$t"; do
    [ -d "$dir" ] && find "$dir" -maxdepth 1 -type f ! -name '.*' -exec cp {} "$work/seeds/$t/" \;
  done
done

# A pack file with one selector byte (an octal escape) in front.
prefixed() {  # selector file target name
  { printf "$1"; cat "$2"; } > "$work/seeds/$3/$4"
}
n=0
find "$content" -name '*.txt' | while read -r f; do
  n=$((n + 1))
  case "$(basename "$f")" in
    options.txt) prefixed '\000' "$f" fuzz_content_files "pack$n" ;;
    items.txt) prefixed '\001' "$f" fuzz_content_files "pack$n" ;;
    textures.txt) prefixed '\002' "$f" fuzz_content_files "pack$n" ;;
    texture.txt | textureL.txt) prefixed '\003' "$f" fuzz_content_files "pack$n" ;;
    multitex.txt) prefixed '\004' "$f" fuzz_content_files "pack$n" ;;
    messages.txt)
      prefixed '\005' "$f" fuzz_content_files "pack$n"
      prefixed '\011' "$f" fuzz_content_files "pack$n-format"
      # chat: a five-letter name, then each line typed and sent
      { printf '\005Alice'; sed -n '5,20p' "$f" | while read -r line; do
          printf '\001%s\r' "$line"; done; } > "$work/seeds/fuzz_chat/pack$n"
      ;;
    worlds.txt) prefixed '\006' "$f" fuzz_content_files "pack$n" ;;
    sounds.txt) prefixed '\007' "$f" fuzz_content_files "pack$n" ;;
    trees.txt) prefixed '\010' "$f" fuzz_content_files "pack$n" ;;
  esac
done

copy() {  # target find-arguments...
  t=$1
  shift
  find "$content" -type f "$@" | while read -r f; do
    cp "$f" "$work/seeds/$t/pack_$(echo "$f" | cksum | cut -d' ' -f1)_$(basename "$f")"
  done
}
copy fuzz_dds -name '*.dds'
copy fuzz_image \( -name '*.dds' -o -name '*.tga' -o -name '*.png' -o -name '*.bmp' -o -name '*.jpg' \)
copy fuzz_xfile -name '*.x'
cp "$here"/../tools/matchrunner/scripts/* "$work/seeds/fuzz_script/"
if [ -f "$content/demos/timedemo.dem" ]; then cp "$content/demos/timedemo.dem" "$work/seeds/fuzz_demo/"; fi

for t in $targets; do
  echo "$t: $(ls "$work/seeds/$t" | wc -l) seeds"
done
