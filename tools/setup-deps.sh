#!/usr/bin/env bash
# Installs what the builds and tests need on a Debian machine, as root. Idempotent: a second run
# only checks. Debian packages first; source packages for the MinGW libraries are unpacked by
# tools/build-mingw-deps.sh.
set -euo pipefail

stamp_dir=${VORLUNE_STAMP_DIR:-/var/lib/vorlune-setup}
packages=(
  build-essential cmake ninja-build pkg-config git ca-certificates
  g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix binutils-mingw-w64 mingw-w64-tools
  zlib1g-dev libminizip-dev libpng-dev libgtest-dev googletest
  wine wine64 xvfb xdotool x11-utils imagemagick fonts-wqy-microhei locales
  clang libclang-rt-14-dev clang-format
  unzip zip libarchive-tools p7zip-full hyperfine time dpkg-dev
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

# tools/build-mingw-deps.sh fetches source packages: make sure a deb-src entry for the main suite
# exists (the security suite serves no sources).
need_src=0
if ! grep -rqsE '^[[:space:]]*(deb-src[[:space:]]|Types:.*deb-src)' /etc/apt/sources.list /etc/apt/sources.list.d/; then
  need_src=1
  if [ -f /etc/apt/sources.list.d/debian.sources ]; then
    awk 'BEGIN{RS=""; ORS="\n\n"} /Suites: bookworm( |\n|$)/ {sub(/Types: deb\n/, "Types: deb-src\n"); print; exit}' \
      /etc/apt/sources.list.d/debian.sources >/etc/apt/sources.list.d/vorlune-src.sources
  elif [ -f /etc/apt/sources.list ]; then
    sed -n -E '/^deb[[:space:]].*[[:space:]]bookworm[[:space:]]/{s/^deb/deb-src/;p;q}' /etc/apt/sources.list \
      >/etc/apt/sources.list.d/vorlune-src.list
  fi
fi

if [ ${#missing[@]} -gt 0 ] || [ "$need_src" = 1 ] || [ ! -f "$stamp_dir/apt-updated" ]; then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  mkdir -p "$stamp_dir" && touch "$stamp_dir/apt-updated"
  if [ ${#missing[@]} -gt 0 ]; then
    echo "installing: ${missing[*]}"
    apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
  fi
fi

if ! locale -a 2>/dev/null | grep -qi '^zh_CN.utf8$'; then
  localedef -i zh_CN -f UTF-8 zh_CN.UTF-8
fi
