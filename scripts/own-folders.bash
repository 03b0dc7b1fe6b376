# Gives a run of the program user folders of its own under one folder, so
# that it never touches the user's: its settings (XDG_CONFIG_HOME), page
# cache (XDG_CACHE_HOME), kept web session (XDG_DATA_HOME: the capture
# creates lumenary/web there), state (XDG_STATE_HOME) and runtime folder
# (XDG_RUNTIME_DIR, 0700: the capture lock and WebKit's sandbox files).
# Sourced by scripts/run.sh and by its test (tests/linux/e2e/own_folders.sh).

# lum_own_folders <folder>: creates the folders and exports the variables.
lum_own_folders() {
    local dir=$1
    mkdir -p "$dir/config" "$dir/cache" "$dir/data" "$dir/state" "$dir/run" || return 1
    chmod 700 "$dir/run"
    export XDG_CONFIG_HOME=$dir/config XDG_CACHE_HOME=$dir/cache XDG_DATA_HOME=$dir/data
    export XDG_STATE_HOME=$dir/state XDG_RUNTIME_DIR=$dir/run
}
