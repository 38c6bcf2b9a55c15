#!/usr/bin/env bash
# Installs the Debian packages that atmotab needs and are missing:
#   tools/install_deps.sh run    the program, its Python readers and plots
#   tools/install_deps.sh test   also everything the tests, the benchmarks, the format check and the
#                                fuzz harnesses (clang and its libFuzzer runtime) use
# As root it runs apt-get itself, otherwise through sudo. Debian's own python3 (/usr/bin/python3)
# runs the Python tools: another python3 first on PATH may lack numpy.
set -euo pipefail

run=(cmake ninja-build g++ python3 python3-numpy python3-matplotlib libhdf5-dev python3-h5py)
test=(gfortran libgtest-dev libbenchmark-dev clang-format python3-scipy parallel hdf5-tools
  python3-venv python3-setuptools python3-wheel
  clang-14 libclang-rt-14-dev)
case ${1:-} in
  run) wanted=("${run[@]}") ;;
  test) wanted=("${run[@]}" "${test[@]}") ;;
  *)
    echo "usage: tools/install_deps.sh run|test" >&2
    exit 2
    ;;
esac

if ! command -v dpkg-query >/dev/null || ! command -v apt-get >/dev/null; then
  echo "install_deps: not a Debian system; make sure these (or their equivalents) are installed:" \
    "${wanted[*]}" >&2
  exit 0
fi
missing=()
for p in "${wanted[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "install_deps: installing ${missing[*]}"
if [ "$(id -u)" -eq 0 ]; then
  sudo=()
elif command -v sudo >/dev/null; then
  sudo=(sudo)
else
  echo "install_deps: run as root: apt-get install ${missing[*]}" >&2
  exit 1
fi
"${sudo[@]}" apt-get update -qq
"${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
  "${missing[@]}" >/dev/null
