# Shared by the scripts: where things are and how to configure a build.
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
JOBS="${QUILLET_JOBS:-$(nproc)}"
export CCACHE_DIR="${CCACHE_DIR:-$HOME/.cache/quillet-ccache}"
# Paths relative to the checkout, so another clone of the project (CI's)
# reuses what this one compiled.
export CCACHE_BASEDIR="${CCACHE_BASEDIR:-$ROOT}"
export CCACHE_NOHASHDIR="${CCACHE_NOHASHDIR:-true}"

# configure BUILD_DIR [cmake options...]
configure() {
  local dir="$1"
  shift
  cmake -S "$ROOT" -B "$dir" -G Ninja "$@" >/dev/null
}
