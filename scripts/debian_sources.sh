# Debian's own source packages for the dependencies built for other targets
# (scripts/windows_deps.sh for Windows, scripts/web_deps.sh for the browser): which versions
# apt-get would fetch, fetching them once into a folder both share, and unpacking them;
# and the frame each build shares: a prefix named by a key, a log, steps that name
# themselves when they fail. Sourced by those scripts, not run. Needs scripts/setup.sh's
# deb-src entry and dpkg-dev.

# Where the fetched files stay between builds, for every target.
debian_sources_downloads="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)/build/debian-sources"

# debian_source_dscs <package...>: the .dsc files apt-get source would fetch, one a line,
# sorted; the versions name each build's prefix. Asked from a folder where none is, since
# apt-get leaves out what is already there.
debian_source_dscs() {
  local dscs
  dscs="$(cd / && apt-get source --print-uris "$@" 2>/dev/null | awk '$2 ~ /\.dsc$/ {print $2}' | sort)"
  if [ "$(grep -c . <<<"$dscs")" -ne "$#" ]; then
    echo "apt-get source knows not all of $*; is there a deb-src entry? (scripts/setup.sh adds one)" >&2
    return 1
  fi
  echo "$dscs"
}

# debian_source_unpack <folder> <package...>: fetches what is not fetched yet and unpacks
# each package, Debian's patches applied, into <folder>/<source name>.
debian_source_unpack() {
  local into="$1" dsc; shift
  mkdir -p "$debian_sources_downloads" "$into"
  (cd "$debian_sources_downloads" && apt-get source --download-only "$@") || return 1
  for dsc in $(debian_source_dscs "$@"); do
    rm -rf "${into:?}/${dsc%%_*}"
    dpkg-source --no-check -x "$debian_sources_downloads/$dsc" "$into/${dsc%%_*}" || return 1
  done
}

# deps_begin <label> <root>: names the prefix <root>/deps-<key> after what comes on standard
# input (the versions, the compiler, the scripts). When that prefix is complete, prints it
# and ends the script; otherwise sets prefix and log, starts the log afresh and starts the
# clock for deps_end. Steps (step, below) report under <label>.
deps_begin() {
  deps_label="$1"; deps_root="$2"
  deps_key="$(sha256sum | cut -c1-12)"
  prefix="$deps_root/deps-$deps_key"
  if [ -f "$prefix/.complete" ]; then
    echo "$prefix"
    exit 0
  fi
  mkdir -p "$deps_root"
  log="$deps_root/deps.log"
  : >"$log"
  echo "$deps_label: building into $prefix (log: $log)" >&2
  deps_start=$SECONDS
}

# step <what> <command...>: runs a step with its output in the log, and on failure shows
# the end of it, names the step and ends the script.
step() {
  local what="$1"; shift
  if ! "$@" >>"$log" 2>&1; then
    tail -n 40 "$log" >&2
    echo "$deps_label: $what failed (whole log: $log)" >&2
    exit 1
  fi
}

# deps_end: marks the prefix complete, removes older ones (they are of other versions and
# nothing uses them from now on) and the unpacked sources, and prints the prefix.
deps_end() {
  find "$deps_root" -maxdepth 1 -name 'deps-*' ! -name "deps-$deps_key" -exec rm -rf {} +
  rm -rf "$deps_root/src"
  touch "$prefix/.complete"
  echo "$deps_label: built in $((SECONDS - deps_start)) s" >&2
  echo "$prefix"
}
