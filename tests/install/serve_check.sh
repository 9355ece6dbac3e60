# Sourced by the install tests. ServeAndFetch HOST [OPTIONS...] starts
# `HOST serve --port 0 [OPTIONS...]` on loopback for a few seconds, fetches the
# page's style sheet and the manual into $work/style.css and $work/manual.pdf,
# and waits for the server to stop by itself. Needs $work and Fail.
ServeAndFetch() {
  local out=$work/serve.out
  "$1" serve --port 0 --listen 127.0.0.1 --stop-after 3 "${@:2}" >"$out" 2>&1 &
  local server=$!
  local address=""
  for _ in $(seq 150); do
    address=$(sed -n 's|^serving the preview at http://\(127\.0\.0\.1:[0-9]*/?token=[0-9a-f]*\) .*|\1|p' "$out")
    [ -n "$address" ] && break
    kill -0 "$server" 2>/dev/null || break
    sleep 0.1
  done
  [ -n "$address" ] || Fail "serve printed no address: $(cat "$out")"
  local port=${address#*:}
  port=${port%%/*}
  local token=${address#*token=}
  Fetch "$port" "/style.css?token=$token" "$work/style.css"
  Fetch "$port" "/manual.pdf?token=$token" "$work/manual.pdf"
  wait "$server" || Fail "serve failed: $(cat "$out")"
  grep -q '^stopped$' "$out" || Fail "serve did not stop by itself: $(cat "$out")"
}

# Fetch PORT PATH FILE: one GET through bash's /dev/tcp; the body goes to FILE,
# and any status but 200 fails.
Fetch() {
  local reply=$work/reply
  exec 3<>"/dev/tcp/127.0.0.1/$1"
  printf 'GET %s HTTP/1.1\r\nHost: 127.0.0.1:%s\r\nConnection: close\r\n\r\n' "$2" "$1" >&3
  timeout 10 cat <&3 >"$reply" || true
  exec 3<&-
  head -n1 "$reply" | grep -q '^HTTP/1\.[01] 200' || Fail "GET $2: $(head -n1 "$reply")"
  # The body starts after the first empty line; the headers are ASCII.
  local headers
  headers=$(LC_ALL=C awk 'BEGIN { RS = "\r\n\r\n" } NR == 1 { print length($0) + 4; exit }' "$reply")
  tail -c +"$((headers + 1))" "$reply" >"$3"
}
