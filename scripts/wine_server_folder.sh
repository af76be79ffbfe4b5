# Sourced by the scripts that run Wine in a throwaway prefix ($WINEPREFIX).
# Debian 13's Wine 10 aborts at every start ("free(): invalid pointer")
# whenever TMPDIR is set, to any value: it stays unset. Debian's server then
# keeps its socket and lock in a folder of /tmp, which it names in the
# prefix's file `wineserver` and leaves behind when it ends.
unset TMPDIR

# Ends the prefix's Wine processes and its server, and removes the folder
# that the server kept in /tmp: only a name of the server's own form.
stop_wine() {
    local name
    wineserver -k 2>/dev/null || true
    wineserver -w 2>/dev/null || true
    name=$(cat "$WINEPREFIX/wineserver" 2>/dev/null) || return 0
    if [[ $name =~ ^wine-[A-Za-z0-9]{6}$ ]]; then
        rm -rf "/tmp/$name"
    fi
}
