# bash completion for tirvelctl                             -*- shell-script -*-
#
# Self-contained on purpose: it reads COMP_WORDS/COMP_CWORD itself rather than
# relying on the bash-completion package's helpers, so it also works when
# sourced by hand from a minimal shell.

_tirvelctl_global_opts="-p --port -d --device --password --lang --json -q --quiet --records --station --operator --version -h --help"
_tirvelctl_subcommands="ports read export apply set restore batch update send log records pool"

# Options that consume the next word, so it is neither a subcommand nor FILE.
_tirvelctl_takes_value() {
    case "$1" in
        -p | --port | -d | --device | --password | --lang | --count | --report | --values | --pool | \
            --output | --seconds | --records | --station | --operator | --imei | --since | --until | --result)
            return 0 ;;
    esac
    return 1
}

_tirvelctl_files() {
    compopt -o filenames 2>/dev/null
    local IFS=$'\n'
    COMPREPLY=($(compgen -f -- "$1"))
}

_tirvelctl() {
    local cur="${COMP_WORDS[COMP_CWORD]}"
    local prev=""
    ((COMP_CWORD > 0)) && prev="${COMP_WORDS[COMP_CWORD - 1]}"
    COMPREPLY=()

    case "$prev" in
        --lang)
            COMPREPLY=($(compgen -W "en zh" -- "$cur"))
            return 0 ;;
        --records)
            COMPREPLY=($(compgen -W "off sqlite: postgresql://" -- "$cur"))
            compopt -o nospace 2>/dev/null
            return 0 ;;
        --result)
            COMPREPLY=($(compgen -W "ok failed interrupted" -- "$cur"))
            return 0 ;;
        -d | --device | --report | --values | --output)
            _tirvelctl_files "$cur"
            return 0 ;;
        -p | --port | --password | --count | --seconds | --station | --operator | --imei | \
            --since | --until)
            # A number, a port list (1-4, 1,3,7-9) or a secret: nothing
            # sensible to offer.
            return 0 ;;
    esac

    # The subcommand is the first word that is not an option or its value;
    # options may come before or after it.
    local sub="" i=1 word
    while ((i < COMP_CWORD)); do
        word="${COMP_WORDS[i]}"
        if _tirvelctl_takes_value "$word"; then
            ((i += 2))
            continue
        fi
        if [[ "$word" != -* ]]; then
            sub="$word"
            break
        fi
        ((i++))
    done

    local sub_opts="" wants_file=0
    case "$sub" in
        export | send) wants_file=1 ;;
        apply) sub_opts="--values --pool"; wants_file=1 ;;
        batch) sub_opts="--count --report --values --pool"; wants_file=1 ;;
        update) sub_opts="--count --report"; wants_file=1 ;;
        log) sub_opts="--output --seconds" ;;
        records) sub_opts="--imei --since --until --result --station --csv" ;;
        pool) sub_opts="--imei" ;;
    esac

    if [[ "$cur" == -* ]]; then
        COMPREPLY=($(compgen -W "$_tirvelctl_global_opts $sub_opts" -- "$cur"))
    elif [[ -z "$sub" ]]; then
        COMPREPLY=($(compgen -W "$_tirvelctl_subcommands" -- "$cur"))
    elif [[ "$sub" == records ]]; then
        COMPREPLY=($(compgen -W "show push" -- "$cur"))
    elif [[ "$sub" == pool ]]; then
        if [[ "$prev" == pool ]]; then
            COMPREPLY=($(compgen -W "import status list show" -- "$cur"))
        else
            _tirvelctl_files "$cur"
        fi
    elif ((wants_file)); then
        _tirvelctl_files "$cur"
    fi
    return 0
}

complete -F _tirvelctl tirvelctl
