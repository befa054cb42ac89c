#!/usr/bin/env bash
# Proves that a clean clone of this repository builds and passes its tests on
# a fresh, minimal Debian 12: builds a new root with debootstrap (minbase plus
# git, ca-certificates and sudo, nothing else), clones the repository's
# current commit into it and runs the test command there in a chroot. Every
# other package has to come from the project's own install step.
#
#   scripts/fresh-root-check.sh [options]
#     --root DIR         where the root is built (default: a new folder in /var/tmp)
#     --command CMD      what runs in the clone (default: .ci/run)
#     --bootstrap-only   build the root and stop; a later run with --root DIR
#                        uses it as long as nothing has run in it yet
#     --keep             leave the root in place afterwards
#   MIRROR=URL overrides the Debian mirror (default: the one apt uses here).
#
# Needs root (debootstrap, chroot, mounts) and installs debootstrap when it
# is missing. The exit status is the test command's.
set -euo pipefail

repo=$(cd "$(dirname "$0")/.." && pwd)
root=
command=.ci/run
bootstrap_only=
keep=
while [ $# -gt 0 ]; do
  case $1 in
    --root) root=$2; shift 2 ;;
    --command) command=$2; shift 2 ;;
    --bootstrap-only) bootstrap_only=1; keep=1; shift ;;
    --keep) keep=1; shift ;;
    *) echo "unknown option: $1" >&2; exit 2 ;;
  esac
done

[ "$(id -u)" -eq 0 ] || { echo "fresh-root-check: needs root (debootstrap, chroot, mounts)" >&2; exit 2; }
if ! command -v debootstrap >/dev/null; then
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq debootstrap
fi

# The Debian mirror apt uses on this machine (deb822 or one-line sources).
host_mirror() {
  local uri
  uri=$(grep -hs '^URIs:' /etc/apt/sources.list.d/*.sources | awk '{print $2}' | grep -v -- '-security' | head -n1)
  [ -n "$uri" ] || uri=$(grep -hs '^deb ' /etc/apt/sources.list /etc/apt/sources.list.d/*.list |
                         awk '{print $2}' | grep -v -- '-security' | head -n1)
  echo "${uri:-http://deb.debian.org/debian}"
}
mirror=${MIRROR:-$(host_mirror)}

if [ -z "$root" ]; then
  root=$(mktemp -d /var/tmp/stillwise-fresh-root.XXXXXX)
fi
mkdir -p "$root"
# mktemp makes it private, but it becomes /: the services in it (CUPS's
# helpers run as the user lp) must be able to pass through it.
chmod 755 "$root"
root=$(cd "$root" && pwd)
clone=/root/stillwise
log=$root.log

mounted=()
cleanup() {
  local i
  for ((i = ${#mounted[@]} - 1; i >= 0; i--)); do
    umount -l "${mounted[$i]}" 2>/dev/null || true
  done
  if [ -z "$keep" ]; then
    rm -rf --one-file-system "$root"
  fi
}
trap cleanup EXIT

# 1. The root: debootstrap, once.
if [ -e "$root/.stillwise-bootstrapped" ]; then
  [ ! -e "$root$clone" ] || { echo "fresh-root-check: $root has been used already; give a new --root" >&2; exit 2; }
  echo "fresh-root-check: using the fresh root $root"
else
  echo "fresh-root-check: debootstrap bookworm from $mirror into $root"
  debootstrap --variant=minbase --include=git,ca-certificates,sudo bookworm "$root" "$mirror" >"$root.debootstrap.log" 2>&1 ||
    { tail -n 30 "$root.debootstrap.log"; echo "fresh-root-check: debootstrap failed" >&2; exit 1; }
  # The same package sources and access settings (proxy, snapshot dates)
  # as this machine's apt, so the root reaches the same mirror.
  rm -f "$root/etc/apt/sources.list"
  if [ -f /etc/apt/sources.list ]; then cp -p /etc/apt/sources.list "$root/etc/apt/"; fi
  for f in /etc/apt/sources.list.d/*.list /etc/apt/sources.list.d/*.sources; do
    if [ -f "$f" ]; then cp -p "$f" "$root/etc/apt/sources.list.d/"; fi
  done
  for f in /etc/apt/apt.conf.d/*; do
    if [ -f "$f" ] && grep -q '^Acquire::' "$f"; then cp -p "$f" "$root/etc/apt/apt.conf.d/"; fi
  done
  # Nothing installed in the root starts a service (cupsd would hold the
  # mounts and the printer port).
  printf '#!/bin/sh\nexit 101\n' >"$root/usr/sbin/policy-rc.d"
  chmod 755 "$root/usr/sbin/policy-rc.d"
  touch "$root/.stillwise-bootstrapped"
fi
[ -z "$bootstrap_only" ] || { echo "fresh-root-check: root ready: $root"; exit 0; }

# 2. The clone of this repository's current commit.
commit=$(git -C "$repo" rev-parse HEAD)
[ -z "$(git -C "$repo" status --porcelain --untracked-files=no)" ] ||
  echo "fresh-root-check: note: uncommitted changes are not part of the check"
git clone --quiet --no-hardlinks "$repo" "$root$clone"
git -C "$root$clone" checkout --quiet "$commit"
echo "fresh-root-check: cloned $commit"

# 3. The test command inside, with what a booted system would provide.
cp -L /etc/resolv.conf "$root/etc/resolv.conf"
for m in proc sys dev dev/pts; do
  mkdir -p "$root/$m"
done
mount -t proc proc "$root/proc" && mounted+=("$root/proc")
mount --rbind /sys "$root/sys" && mounted+=("$root/sys")
mount --rbind /dev "$root/dev" && mounted+=("$root/dev")
mount -t tmpfs tmpfs "$root/tmp" && mounted+=("$root/tmp")
mkdir -p "$root/run" && mount -t tmpfs tmpfs "$root/run" && mounted+=("$root/run")

echo "fresh-root-check: running '$command' (log: $log)"
set +e
chroot "$root" /usr/bin/env -i HOME=/root PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
  TERM=dumb LANG=C.UTF-8 /bin/bash -c "cd $clone && $command" >"$log" 2>&1
status=$?
set -e
tail -n 40 "$log"
if [ $status -eq 0 ]; then
  echo "fresh-root-check: passed"
else
  echo "fresh-root-check: FAILED ($status); the whole log is in $log"
fi
exit $status
