#!/usr/bin/env bash
# Checks a folder of exported HTML pages with real tools:
#   - tidy must report no errors (warnings are fine: the pages use the old FONT mark-up on purpose);
#   - a headless browser opens every page from file:// URLs, and every picture must load and every link
#     must lead to a file that opens.
# Prints one line per page, picture and link ("PAGE", "IMG-OK", "LINK-OK", "TEXT <rendered text>") and
# ends 0 when all is well, 1 when something failed, 77 when tidy or chromium is not installed.
# Usage: scripts/check-html.sh <folder>
set -uo pipefail

folder=${1:?usage: check-html.sh <folder>}
for tool in tidy chromium python3; do
  if ! command -v "$tool" >/dev/null 2>&1; then
    echo "skipped: $tool is not installed"
    exit 77
  fi
done
shopt -s nullglob
pages=("$folder"/*.html)
if [ ${#pages[@]} -eq 0 ]; then
  echo "no HTML files in $folder"
  exit 1
fi

failed=0
for page in "${pages[@]}"; do
  # Exit codes: 0 clean, 1 warnings, 2 errors.
  report=$(timeout -k 5 60 tidy -q -e -win1252 "$page" 2>&1)
  status=$?
  if [ $status -ge 2 ]; then
    echo "TIDY-BAD $page (exit $status)"
    echo "$report"
    failed=1
  fi
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
urls=$(python3 -c 'import json, pathlib, sys; print(json.dumps([pathlib.Path(p).resolve().as_uri() for p in sys.argv[1:]]))' "${pages[@]}")
# The checking page opens each page in a frame once the one before it has loaded with its pictures.
cat > "$work/check.html" <<EOF
<html><body><pre id="r"></pre><script>
const pages = $urls;
const out = [];
let i = 0;
function next() {
  if (i >= pages.length) { document.getElementById('r').textContent = out.join('\n') + '\nCHECK-DONE'; return; }
  const frame = document.createElement('iframe');
  frame.onload = () => {
    try {
      const d = frame.contentDocument;
      out.push('PAGE ' + pages[i]);
      for (const img of d.images)
        out.push((img.complete && img.naturalWidth > 0 ? 'IMG-OK ' : 'IMG-BAD ') + img.src);
      for (const a of d.links) {
        let ok = false;
        try { const x = new XMLHttpRequest(); x.open('GET', a.href, false); x.send(); ok = x.responseText.length > 0; } catch (e) {}
        out.push((ok ? 'LINK-OK ' : 'LINK-BAD ') + a.href);
      }
      out.push('TEXT ' + d.body.innerText.replace(/\s+/g, ' '));
    } catch (e) { out.push('PAGE-BAD ' + pages[i] + ' ' + e); }
    frame.remove(); i++; next();
  };
  frame.src = pages[i];
  document.body.appendChild(frame);
}
window.onload = next;
</script></body></html>
EOF
# Only file:// URLs; every host name resolves to nothing, so no request can leave the machine.
timeout -k 5 120 chromium --headless --no-sandbox --disable-gpu --user-data-dir="$work/profile" \
  --allow-file-access-from-files --no-first-run --disable-background-networking --disable-component-update \
  --disable-sync --disable-default-apps --no-proxy-server --host-resolver-rules="MAP * ~NOTFOUND" \
  --virtual-time-budget=20000 --dump-dom "file://$work/check.html" > "$work/dom.html" 2>"$work/chromium.log"
status=$?
result=$(python3 -c '
import html, re, sys
dom = open(sys.argv[1], encoding="utf-8", errors="replace").read()
found = re.search(r"<pre id=\"r\">(.*?)</pre>", dom, re.S)
print(html.unescape(found.group(1)) if found else "")' "$work/dom.html")
echo "$result"
if [ $status -ne 0 ] || ! grep -q '^CHECK-DONE$' <<<"$result"; then
  echo "BROWSER-BAD chromium ended with $status before the check was done"
  tail -20 "$work/chromium.log"
  failed=1
fi
if grep -q -- '-BAD ' <<<"$result"; then
  failed=1
fi
if [ "$(grep -c '^PAGE ' <<<"$result")" -ne ${#pages[@]} ]; then
  echo "BROWSER-BAD not every page was opened"
  failed=1
fi
exit $failed
