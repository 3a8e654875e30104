#!/usr/bin/env bash
# For a release manager, not part of the tests: piuparts tries the release's Debian package in a
# minimal chroot of this machine's Debian release: it installs and purges it, then installs the
# previous build (through apt, from a local repository) and upgrades it to this one, purging it
# again, and each time compares the file system before and after. It builds the chroot from the
# Debian mirror apt uses, so it needs root, the network and several minutes.
#
# Usage: bash scripts/check_package.sh [PREVIOUS]
#   PREVIOUS: the package users upgrade from, as a .deb file (the one that was shipped), or as a
#   commit or tag whose package is built from a fresh clone (its Linux programs and its package,
#   nothing else). Without it: the last tag before this commit, or with no tag the commit before
#   it. A previous package of the same version is given a lower one (VERSION~previous), so that
#   the upgrade really unpacks the new files over the old.
# The package under test is build/release's (bash scripts/build.sh makes it); piuparts' log goes
# to build/piuparts.log.
set -euo pipefail
cd "$(dirname "$0")/.."
version=$(sed -n 's/^project(ZelvoCD VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
package=$PWD/build/release/zelvo-cd_${version}_amd64.deb
if [ ! -f "$package" ]; then
  echo "check_package.sh: no $package; build the release first (bash scripts/build.sh)" >&2
  exit 1
fi
as_root=()
[ "$(id -u)" -eq 0 ] || as_root=(sudo)
scratch=$(mktemp -d /tmp/zelvo-piuparts.XXXXXX)
trap 'rm -rf "$scratch"' EXIT
chmod 755 "$scratch" # apt in the chroot reads the local repository as its own user
repository=$scratch/previous
mkdir -p "$repository"

previous=${1:-$(git describe --tags --abbrev=0 HEAD^ 2>/dev/null || git rev-parse --short HEAD^)}
if [ -f "$previous" ]; then
  cp "$previous" "$repository/previous.deb"
else
  echo "building the package of $previous"
  git clone -q --no-checkout . "$scratch/source"
  git -C "$scratch/source" checkout -q --detach "$previous"
  (
    cd "$scratch/source"
    cmake --preset linux >/dev/null
    cmake --build --preset linux >/dev/null
    cd build/linux
    umask 022
    SOURCE_DATE_EPOCH=$(git log -1 --format=%ct) cpack -G DEB >/dev/null
  )
  cp "$scratch"/source/build/linux/package/zelvo-cd_*_amd64.deb "$repository/previous.deb"
fi
before=$(dpkg-deb --field "$repository/previous.deb" Version)
if ! dpkg --compare-versions "$before" lt "$version"; then
  dpkg-deb --raw-extract "$repository/previous.deb" "$scratch/unpacked"
  sed -i "s/^Version: .*/Version: $version~previous/" "$scratch/unpacked/DEBIAN/control"
  dpkg-deb --root-owner-group --build "$scratch/unpacked" "$repository/previous.deb" >/dev/null
  before=$version~previous
fi
(cd "$repository" && dpkg-scanpackages . >Packages 2>/dev/null)

if ! command -v piuparts >/dev/null; then
  echo "Installing: piuparts"
  "${as_root[@]}" apt-get update -q
  DEBIAN_FRONTEND=noninteractive "${as_root[@]}" apt-get install -y -q --no-install-recommends \
    piuparts
fi

# The chroot's release and mirror are this machine's own (the first Debian archive apt knows).
release=$(. /etc/os-release && echo "$VERSION_CODENAME")
mirror=$(apt-get indextargets --format '$(REPO_URI)' "Codename: $release" 'Label: Debian' |
  head -1)
# Purging the dependencies leaves what systemd's tmpfiles made when systemd came with them
# (GTK 4 pulls it in through dbus); the package itself makes nothing at run time.
systemd_leftovers=(/root/.ssh/ /var/cache/private/ /var/lib/private/ /var/log/private/
  /var/lib/systemd/coredump/ /var/lib/systemd/pstore/)
echo "piuparts: $package on Debian $release, upgrading from $previous ($before)"
rm -f build/piuparts.log
status=0
timeout 60m "${as_root[@]}" piuparts --distribution="$release" --mirror="${mirror%/}" \
  --bindmount="$repository" --extra-repo="deb [trusted=yes] file://$repository ./" \
  "${systemd_leftovers[@]/#/--ignore=}" --log-file="$PWD/build/piuparts.log" "$package" \
  >/dev/null 2>&1 || status=$?
grep -E '(PASS|FAIL|ERROR):' build/piuparts.log || true
if [ "$status" -ne 0 ]; then
  echo "piuparts failed (exit code $status); its log: build/piuparts.log" >&2
fi
exit "$status"
