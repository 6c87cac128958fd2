#!/bin/sh
# scripts/run.sh refuses a Broadway display that is not a display number, with a
# message, before it builds anything and before the value reaches bash arithmetic
# (where a subscript would run a command). The build tools are stubs here.
src=$1
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
mkdir "$tmp/bin"
printf '#!/bin/sh\necho "install ok installed"\n' >"$tmp/bin/dpkg-query"
for tool in cmake ninja broadwayd; do
    printf '#!/bin/sh\ntouch "%s/built"\n' "$tmp" >"$tmp/bin/$tool"
done
chmod +x "$tmp/bin/"*
failed=0
for value in "HOME[\$(touch $tmp/ran)]" ":PATH[\$(touch $tmp/ran)]" ':-1' ':5x' ':5 ' ':999999'; do
    out=$(env -u DISPLAY -u WAYLAND_DISPLAY BROADWAY_DISPLAY="$value" PATH="$tmp/bin:$PATH" \
        bash "$src/scripts/run.sh" 2>&1 </dev/null)
    status=$?
    problem=""
    [ -e "$tmp/ran" ] && problem="ran the command in it"
    [ -e "$tmp/built" ] && problem="${problem:+$problem; }went on to the build"
    [ "$status" -eq 2 ] || problem="${problem:+$problem; }exit status $status, not 2"
    case $out in
    *"BROADWAY_DISPLAY=$value refused"*) ;;
    *) problem="${problem:+$problem; }no refusal in: $out" ;;
    esac
    if [ -n "$problem" ]; then
        echo "BROADWAY_DISPLAY='$value': $problem"
        failed=1
    fi
    rm -f "$tmp/ran" "$tmp/built"
done
exit $failed
