"""The ANSI code pages the cases run under, by the Unix locale that gives
each under Wine. Wine takes the code page from LC_ALL / LC_CTYPE, so it can
switch for one run; Windows has the one code page of the system."""
SINGLE_BYTE = "C.UTF-8"  # code page 1252
JAPANESE = "ja_JP.UTF-8"  # code page 932

CODE_PAGES = {SINGLE_BYTE: "cp1252", JAPANESE: "cp932"}
