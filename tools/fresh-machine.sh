#!/usr/bin/env bash
# Proves the README on a freshly installed Debian: a minimal bookworm made
# with debootstrap, a clean clone of one commit, nothing installed but what
# the README asks the user for (make), then `make test` and `make windows`
# as root in a chroot. After the set-up, the machine has no network but its
# own loopback, so neither the build nor the tests can reach out.
# Run as root on a Debian machine with debootstrap, git, unzip and iproute2.
#   tools/fresh-machine.sh [folder] [commit] [repository]
# The commit (default HEAD) is cloned from the repository (default this one).
# folder (default /work/fresh-root) keeps the debootstrap result in base/ for
# the next run; every run copies it to machine/ afresh.
set -euo pipefail

folder=$(realpath -m "${1:-/work/fresh-root}")
repo=$(git -C "${3:-$(dirname "$0")}" rev-parse --show-toplevel)
commit=$(git -C "$repo" rev-parse --verify "${2:-HEAD}^{commit}")
base=$folder/base
machine=$folder/machine
times=()

phase() { # name command...: runs one timed phase; the run stops on its failure
  local name=$1 start=$SECONDS
  shift
  echo "== $name"
  if ! "$@"; then
    echo "VERDICT: FAIL in $name ($((SECONDS - start)) s), commit $commit"
    exit 1
  fi
  times+=("$name: $((SECONDS - start)) s")
  echo "${times[-1]}"
}

# The mirror this machine itself uses for bookworm.
mirror() {
  # shellcheck disable=SC2016 # apt's own format fields, not the shell's
  apt-get indextargets --format '$(REPO_URI) $(RELEASE)' | awk '$2 == "bookworm" { print $1; exit }'
}

make_base() {
  [ -x "$base/bin/sh" ] && return 0
  local url
  url=$(mirror)
  [ -n "$url" ] || { echo "no bookworm source in this machine's apt sources"; return 1; }
  rm -rf "$base"
  nice debootstrap --variant=minbase bookworm "$base" "$url"
}

mounted=()
unmount_all() {
  local i
  for ((i = ${#mounted[@]} - 1; i >= 0; i--)); do umount -l "${mounted[i]}" || true; done
  mounted=()
}
trap unmount_all EXIT

mount_into() { # target mount-arguments...
  mkdir -p "$1"
  mount "${@:2}" "$1"
  mounted+=("$1")
}

make_machine() {
  rm -rf --one-file-system "$machine" # never into a mount a killed run left behind
  cp -a "$base" "$machine"
  cp /etc/resolv.conf "$machine/etc/resolv.conf"
  # The hosts file that Debian's installer writes; debootstrap makes none.
  printf '127.0.0.1\tlocalhost\n127.0.1.1\t%s\n::1\tlocalhost ip6-localhost ip6-loopback\n' \
    "$(cat "$machine/etc/hostname")" >"$machine/etc/hosts"
  # Daemons that packages would start belong to no one in a chroot.
  printf '#!/bin/sh\nexit 101\n' >"$machine/usr/sbin/policy-rc.d"
  chmod +x "$machine/usr/sbin/policy-rc.d"
  mount_into "$machine/proc" -t proc proc
  mount_into "$machine/sys" -t sysfs sysfs
  mount_into "$machine/dev" --bind /dev
  mount_into "$machine/dev/pts" -t devpts -o newinstance,ptmxmode=0666 devpts
  mount_into "$machine/dev/shm" -t tmpfs tmpfs
  rm -rf "$machine/root/halcyon"
  git clone -q --no-local "$repo" "$machine/root/halcyon"
  git -C "$machine/root/halcyon" checkout -q "$commit"
}

inside() { # [--offline] command-line: run as root in the machine, in a login's clean environment
  local net=()
  if [ "$1" = --offline ]; then # no network but a loopback of its own
    net=(unshare --net sh -c 'ip link set lo up && exec "$@"' sh)
    shift
  fi
  nice "${net[@]}" chroot "$machine" /usr/bin/env -i HOME=/root TERM=dumb \
    PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
    /bin/bash -c "cd /root/halcyon && $1"
}

zip_complete() {
  local zip=$machine/root/halcyon/build-win/halcyon-windows.zip listing
  listing=$(unzip -Z1 "$zip") || return 1
  if ! grep -qx halcyon.exe <<<"$listing" || ! grep -q '^data/.' <<<"$listing"; then
    echo "$zip lacks halcyon.exe or data/"
    return 1
  fi
}

[ "$(id -u)" -eq 0 ] || { echo "run as root: debootstrap and chroot need it"; exit 1; }
phase debootstrap make_base
phase machine make_machine
phase "the README's prerequisite (make)" inside "apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends make >/dev/null"
# `make test` is setup, build and the tests; its pieces run one by one to be timed, then itself.
phase "set-up packages (make setup)" inside "make setup"
phase "build (make build)" inside --offline "make build"
phase "tests (make test)" inside --offline "make test"
phase "windows build (make windows)" inside --offline "make windows"
phase "windows package contents" zip_complete
printf '%s\n' "${times[@]}"
echo "VERDICT: PASS, make test and make windows work on a fresh bookworm, commit $commit"
