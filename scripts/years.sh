# Sourced by the scripts that drive a built program: the pair of years that
# build was configured for (RIAPERTURA_ANNO_NUOVO, 2024 when not given).
# Usage: source scripts/years.sh BUILD_DIR; sets new_year and old_year.
new_year=$(sed -n 's/^RIAPERTURA_ANNO_NUOVO:[A-Z]*=//p' "$1/CMakeCache.txt")
if ! [[ $new_year =~ ^[0-9]{4}$ ]]; then
    echo "scripts: nessun RIAPERTURA_ANNO_NUOVO in $1/CMakeCache.txt: compilare prima con scripts/build" >&2
    exit 1
fi
old_year=$((new_year - 1))
