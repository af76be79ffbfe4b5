"""The calls a run of fontctl makes to the font table (gdi32's
AddFontResource* and RemoveFontResource*), with their paths, recorded by a
helper that runs it as its debugger (helpers/font_calls.c): that a call was
made, on Windows as under Wine, whatever the font table answered."""


def run_with_font_calls(case, *args, utf8=False):
    """Runs fontctl.exe ARGS, or fontctl-utf8.exe, as case.fontctl() does,
    under the recorder: (the outcome, [(function, path)] in the order of the
    calls). The program's own call comes first; the calls that gdi32 makes
    in turn (AddFontResourceA calls AddFontResourceExA...) follow it."""
    record = case.new_dir("font calls") / "calls.txt"
    outcome = case.run_program(case.session.helper("font_calls.exe"), case.program(utf8), *args,
                               env={"E2E_FONT_CALLS": case.win(record)})
    lines = record.read_text(encoding="utf-8").splitlines()
    case.assertGreaterEqual(len(lines), 2, f"no record: {outcome}")
    *calls, armed, status = lines
    case.assertNotEqual(armed, "armed 0", "the recorder could watch none of the font table's functions")
    case.assertEqual(status, f"status {outcome.status}", outcome)
    return outcome, [tuple(call.split(" ", 2)[1:]) for call in calls]


def own_variant(case, utf8=False):
    """The letter of the functions the program calls: A for fontctl.exe's
    narrow functions, W for fontctl-utf8.exe's (which a run may have in
    fontctl.exe's place)."""
    return "W" if case.program(utf8) == case.session.fontctl_utf8_exe else "A"
