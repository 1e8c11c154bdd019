# The same job as 'quogtran FILE' on a well-formed dictionary, in awk, for
# comparison: the same lookups with the same capital rule, the same two
# output files with the same footer. It relies on what the generated corpus
# guarantees: entries never span lines and every line ends with a line end.
#
#   mawk -v dict=quogo.dic -v input=big1.txt -f translate.awk
BEGIN {
    words = 0
    while ((getline line < dict) > 0) {
        words += gsub(/~/, "~", line)
        while (match(line, /_[^_]*_->~[^_]*_/)) {
            entry = substr(line, RSTART + 1, RLENGTH - 2)
            arrow = index(entry, "_->~")
            english = substr(entry, 1, arrow - 1)
            if (!(english in quog))
                quog[english] = substr(entry, arrow + 4)
            line = substr(line, RSTART + RLENGTH - 1)
        }
    }
    close(dict)

    base = input
    sub(/\..*$/, "", base)
    first = base ".qgo"
    second = base ".htm"

    while ((getline line < input) > 0) {
        sub(/\r$/, "", line)
        gsub(/[",.?!;:<>)(]/, " & ", line)
        n = split(line, word, / /)
        # A line that ends in a space ends with an empty field that is no word.
        if (n > 0 && word[n] == "")
            n--
        out = ""
        for (i = 1; i <= n; i++)
            out = out translated(word[i]) " "
        # Close up each space, mark, space triple, left to right.
        closed = ""
        while (match(out, / [",.?!;:<>)(] /)) {
            closed = closed substr(out, 1, RSTART - 1) substr(out, RSTART + 1, 1)
            out = substr(out, RSTART + 3)
        }
        closed = closed out
        print closed > first
        print closed > second
    }
    footer = "\nTranslation by Quog Speak Version 2.2n\nThe dishunary contains " words " wurds.\n"
    print footer > first
    print footer > second
}

function translated(w,    capital, key, r) {
    capital = w ~ /^[A-Z]/
    key = capital ? tolower(substr(w, 1, 1)) substr(w, 2) : w
    if (!(key in quog))
        return w
    r = quog[key]
    if (capital && r ~ /^[a-z]/)
        r = toupper(substr(r, 1, 1)) substr(r, 2)
    return r
}
