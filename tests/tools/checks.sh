# Counted checks for the shell tests (sourced).
failures=0
checks=0
check() {  # description, then the condition's exit status
  checks=$((checks + 1))
  if [ "$2" -eq 0 ]; then echo "ok: $1"; else echo "FAILED: $1"; failures=$((failures + 1)); fi
}
