# Sourced by the benchmark scripts.

# bench_require SCRIPT HINT PROGRAM...: stops (exit 2) unless every PROGRAM
# can be run, saying which is missing and HINT.
bench_require() {
  local script=$1 hint=$2 program
  shift 2
  for program in "$@"; do
    if [[ ! -x "$program" ]]; then
      echo "$script: no program at $program ($hint)" >&2
      exit 2
    fi
  done
}

# bench_workdir NAME: a new scratch folder in $work, removed at exit; the
# undo journals of the timed runs go there, out of the user's state folder.
bench_workdir() {
  work=$(mktemp -d "${TMPDIR:-/tmp}/quillmark-$1-XXXXXX")
  trap 'rm -rf "$work"' EXIT
  export QUILLMARK_STATE_DIR="$work/state"
}
