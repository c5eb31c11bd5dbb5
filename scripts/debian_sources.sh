# Debian's own source packages for the dependencies built for other targets
# (scripts/windows_deps.sh for Windows, scripts/web_deps.sh for the browser): which versions
# apt-get would fetch, fetching them once into a folder both share, and unpacking them.
# Sourced by those scripts, not run. Needs scripts/setup.sh's deb-src entry and dpkg-dev.

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
