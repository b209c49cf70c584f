# replace_file FILE COMMAND [ARGUMENT...]
# Puts what COMMAND writes to its standard output in the place of FILE, in
# one step: into a new file beside FILE (mode 0600 while it is written),
# which gets FILE's owner, group and mode (0644 and the caller's when there
# is no FILE), is synced to disk and renamed over FILE; then the directory
# is synced.  A reader sees the whole old file or the whole new one at every
# moment, and a power loss leaves one of the two.  A link is followed: the
# file it names is replaced.  On failure FILE is as it was, the new file is
# removed and the status is 1.  While it runs, replace_file_temporary names
# the new file, for the caller's EXIT trap to remove on an interruption:
#   trap 'rm -f "${replace_file_temporary:-}"' EXIT; trap 'exit 1' INT TERM HUP
# (This text is copied into the maintainer scripts and the admin commands
# when they are built: each stays self-contained.)
replace_file() {
	replace_file_target=$(readlink -f -- "$1") || return 1
	shift
	replace_file_temporary=$(mktemp "$(dirname -- "$replace_file_target")/.$(basename -- "$replace_file_target").XXXXXX") ||
		{ replace_file_temporary=""; return 1; }
	if "$@" > "$replace_file_temporary" &&
	   replace_file_attributes "$replace_file_target" "$replace_file_temporary" &&
	   sync -- "$replace_file_temporary" &&
	   mv -f -T -- "$replace_file_temporary" "$replace_file_target"; then
		replace_file_temporary=""
		sync -- "$(dirname -- "$replace_file_target")"
		return 0
	fi
	rm -f -- "$replace_file_temporary"
	replace_file_temporary=""
	return 1
}

# replace_file_attributes FILE NEW: NEW gets the owner, group and mode of
# FILE, or mode 0644 when there is no FILE.
replace_file_attributes() {
	if [ -e "$1" ]; then
		chown --reference="$1" -- "$2" && chmod --reference="$1" -- "$2"
	else
		chmod 0644 -- "$2"
	fi
}
