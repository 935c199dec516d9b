# bash completion for ckvd, ckvd-explorer, ckvd-mkdisc and ckvd-mknav.
# Installed once under each program's name, so bash-completion's on-demand loading finds it for any of them;
# it needs nothing from bash-completion itself.

# Adds to COMPREPLY the files completing $1 whose extension (any case) is one of the rest, and directories to
# walk into; with no extension given, every file.
_ckvd_files() {
    local cur=$1 f ext e
    shift
    local -a found
    mapfile -t found < <(compgen -f -- "$cur")
    for f in "${found[@]}"; do
        if [[ -d $f || $# -eq 0 ]]; then
            COMPREPLY+=("$f")
            continue
        fi
        ext=${f##*.}
        [[ $ext == "$f" ]] && continue
        for e; do
            if [[ ${ext,,} == "$e" ]]; then
                COMPREPLY+=("$f")
                break
            fi
        done
    done
    compopt -o filenames 2>/dev/null
    return 0
}

# The extensions of the disc images the programs open: sheets and their raw files (a .bin, .img or .mdf with
# a sheet beside it names the sheet), Nero, cdrdao and Alcohol images.
_ckvd_images="iso cue ccd nrg toc mds mdf bin img"

# Adds the words of the list $2 that start with $1.
_ckvd_words() {
    local -a w
    mapfile -t w < <(compgen -W "$2" -- "$1")
    COMPREPLY+=("${w[@]}")
}

# A DRIVE: the demo discs, the CD devices present, disc images.
_ckvd_drive() {
    local cur=$1 d
    _ckvd_words "$cur" "demo demo-audio"
    for d in /dev/sr[0-9]*; do
        [[ -e $d && $d == "$cur"* ]] && COMPREPLY+=("$d")
    done
    _ckvd_files "$cur" $_ckvd_images
}

# The word as the program will get it, for the plain quoting people type (backslashes, quotes, a leading ~).
_ckvd_unquote() {
    local word=$1
    if [[ $word == \'*\' || $word == \"*\" ]]; then
        word=${word:1:${#word}-2}
    else
        word=${word//\\/}
    fi
    # shellcheck disable=SC2088 # a literal "~/" typed on the line
    [[ $word == "~/"* ]] && word=$HOME/${word:2}
    printf '%s' "$word"
}

# The session numbers of the disc in DRIVE $2 as `ckvd toc` prints them ("session N ..."), ckvd being found
# beside the program $1 when that was named with a directory. Nothing when the disc cannot be read.
_ckvd_sessions() {
    local cur=$1 prog=$2 drive
    drive=$(_ckvd_unquote "$3")
    [[ -n $drive ]] || return 0
    local ckvd=ckvd
    [[ $prog == */* ]] && ckvd=${prog%/*}/ckvd
    local numbers
    numbers=$(timeout 10 "$ckvd" toc "$drive" 2>/dev/null | while read -r first n _; do
        [[ $first == session ]] && printf '%s\n' "$n"
    done)
    _ckvd_words "$cur" "$numbers"
}

_ckvd() {
    local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD - 1]}
    COMPREPLY=()
    local cmd="" i w skip=0
    local -a args=()   # positional arguments after the command, the word being completed left out
    local argIndex=0   # where the word being completed stands among them
    for ((i = 1; i < ${#COMP_WORDS[@]}; i++)); do
        w=${COMP_WORDS[i]}
        if ((skip)); then
            skip=0
            continue
        fi
        if ((i == COMP_CWORD)); then
            [[ -n $cmd ]] && argIndex=${#args[@]}
            continue
        fi
        case $w in
        --session | --image | --number | --comment | -o | --map | --profile | --catalogue | --to | --retry) skip=1 ;;
        -*) ;;
        *) if [[ -z $cmd ]]; then cmd=$w; else args+=("$w"); fi ;;
        esac
    done

    if [[ -z $cmd ]]; then
        _ckvd_words "$cur" "drives toc ls info get nav report verify dump check make burn catalog help --help --version"
        return 0
    fi
    case $prev in
    --session)
        [[ $cmd != drives ]] && _ckvd_sessions "$cur" "${COMP_WORDS[0]}" "${args[0]}"
        return 0
        ;;
    --image)
        _ckvd_files "$cur" $_ckvd_images
        return 0
        ;;
    -o)
        _ckvd_files "$cur"
        return 0
        ;;
    --map)
        _ckvd_files "$cur" png
        return 0
        ;;
    --catalogue)
        _ckvd_files "$cur" sqlite
        return 0
        ;;
    --profile)
        local players=${XDG_CONFIG_HOME:-$HOME/.config}/ckvd-explorer/players f names="car-cd iso9660-level1 iso9660-level2"
        for f in "$players"/*.ini; do [[ -e $f ]] && names+=" $(basename "$f" .ini)"; done
        _ckvd_words "$cur" "$names"
        [[ $cur == */* || $cur == .* ]] && _ckvd_files "$cur" ini
        return 0
        ;;
    --audio)
        _ckvd_words "$cur" "flac wav"
        return 0
        ;;
    --number | --comment | --retry) return 0 ;;
    esac

    local options
    case $cmd in
    drives) options="--json --demo --image --help" ;;
    toc) options="--json --help" ;;
    ls | nav) options="--json --session --help" ;;
    info) options="--json --session --file --help" ;;
    get) options="-r --session --audio --help" ;;
    report) options="--number --comment -o --catalogue --help" ;;
    verify) options="--json --session --map --help" ;;
    dump) options="--retry --json --help" ;;
    check) options="--json --csv --order --profile --help" ;;
    make) options="--plan --json --profile --help" ;;
    burn) options="--json --blank --multisession --speed --help" ;;
    catalog) options="--json --csv --number --comment --catalogue --to --help" ;;
    *) return 0 ;;
    esac
    if [[ $cur == -* ]]; then
        _ckvd_words "$cur" "$options"
        return 0
    fi
    if [[ $cmd == info && " ${COMP_WORDS[*]} " == *" --file "* ]]; then
        _ckvd_files "$cur" # local files, no DRIVE
        return 0
    fi
    case $cmd:$argIndex in
    toc:0 | ls:0 | info:0 | get:0 | nav:0 | report:0 | verify:0 | dump:0 | check:0) _ckvd_drive "$cur" ;;
    catalog:0) _ckvd_words "$cur" "add search list show ls remove export dupes backup import check vacuum copy" ;;
    catalog:*) [[ ${args[0]} == add && $argIndex == 1 ]] && _ckvd_drive "$cur"
        [[ ${args[0]} == import ]] && _ckvd_files "$cur" csv ;;
    get:2) _ckvd_files "$cur" ;; # DEST on the local disk
    dump:1) _ckvd_files "$cur" iso cue ;;
    make:0) mapfile -t COMPREPLY < <(compgen -d -- "$cur") ;; # MUSIC_DIR
    make:1 | burn:0) _ckvd_files "$cur" iso ;;
    burn:1) _ckvd_drive "$cur" ;;
    esac
    return 0
}

_ckvd_explorer() {
    local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD - 1]}
    COMPREPLY=()
    case $prev in
    --image) _ckvd_files "$cur" $_ckvd_images ;;
    --screenshot) _ckvd_files "$cur" png ;;
    --lbn-size) _ckvd_words "$cur" "10 16 msf" ;;
    --view) _ckvd_words "$cur" "large small list details" ;;
    --sort) _ckvd_words "$cur" "name name:desc lbn lbn:desc size size:desc date date:desc disc" ;;
    --player-profile) _ckvd_files "$cur" ini ;;
    --dialog) _ckvd_words "$cur" "drive disc-info about level1 save-report pcm-formats save-to-disc save-progress tag-info nav verify save-image player-check player-check-order find-catalogue open-catalogued catalogue-disc catalogue-duplicates" ;;
    --select) ;;
    *)
        if [[ $cur == -* ]]; then
            _ckvd_words "$cur" "--demo --image --lbn-size --view --sort --verbose --screenshot --select --dialog --player-profile --help --version"
        else
            _ckvd_files "$cur" $_ckvd_images
        fi
        ;;
    esac
    return 0
}

_ckvd_mkdisc() {
    local cur=${COMP_WORDS[COMP_CWORD]}
    COMPREPLY=()
    if ((COMP_CWORD == 1)); then
        _ckvd_words "$cur" "create msinfo append audio --help --version"
        return 0
    fi
    case ${COMP_WORDS[1]}:$COMP_CWORD in
    create:2 | append:2 | msinfo:2) _ckvd_files "$cur" cue ccd ;;
    create:3 | append:3) _ckvd_files "$cur" iso ;;
    audio:2) _ckvd_files "$cur" cue ;;
    audio:*) _ckvd_files "$cur" wav ;;
    esac
    return 0
}

_ckvd_mknav() {
    local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD - 1]} i image=""
    COMPREPLY=()
    for ((i = 1; i < ${#COMP_WORDS[@]} - 1; i++)); do
        [[ ${COMP_WORDS[i]} == --lsn ]] && image=${COMP_WORDS[i + 1]}
    done
    case $prev in
    --lsn) _ckvd_files "$cur" $_ckvd_images ;;
    --session) _ckvd_sessions "$cur" "${COMP_WORDS[0]}" "$image" ;;
    --name | --lcid) ;;
    *)
        if [[ $cur == -* ]]; then
            if [[ -n $image ]]; then
                _ckvd_words "$cur" "--session --lcid --help"
            else
                _ckvd_words "$cur" "--name --lcid --lsn --help --version"
            fi
        else
            mapfile -t COMPREPLY < <(compgen -d -- "$cur")
            compopt -o filenames 2>/dev/null
        fi
        ;;
    esac
    return 0
}

complete -F _ckvd ckvd
complete -F _ckvd_explorer ckvd-explorer
complete -F _ckvd_mkdisc ckvd-mkdisc
complete -F _ckvd_mknav ckvd-mknav
