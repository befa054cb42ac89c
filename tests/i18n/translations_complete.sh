#!/usr/bin/env bash
# Runs lupdate over the sources into a copy of translations/stillwise_en.ts.
# Fails when the copy differs from the file (a text was added to or removed
# from the sources, or the file is not as lupdate writes it), when lupdate
# warns (a text it cannot place in a context), or when a translation is
# unfinished.
#   translations_complete.sh SOURCE-DIR
set -uo pipefail
root=$1
ts=$root/translations/stillwise_en.ts
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
cp "$ts" "$tmp/stillwise_en.ts"
if ! bash "$root/scripts/update-translations.sh" "$tmp/stillwise_en.ts" >"$tmp/log" 2>&1 || [ -s "$tmp/log" ]; then
    echo "lupdate failed or warned:"
    cat "$tmp/log"
    exit 1
fi
status=0
if ! diff -u "$ts" "$tmp/stillwise_en.ts"; then
    echo "The sources' texts and translations/stillwise_en.ts differ (lines with + are new texts, - vanished ones):"
    echo "run scripts/update-translations.sh and translate what is new."
    status=1
fi
if grep -n -B2 'type="unfinished"\|type="vanished"\|type="obsolete"' "$ts"; then
    echo "translations/stillwise_en.ts has unfinished or obsolete entries."
    status=1
fi
messages=$(grep -c '<message' "$ts")
echo "$messages texts, each with a finished English translation: $([ $status -eq 0 ] && echo yes || echo no)"
exit $status
