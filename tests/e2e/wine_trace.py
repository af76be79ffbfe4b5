"""Wine's trace of a program's calls into Windows' DLLs (its relay channel),
kept to the few functions a case asks about: under Wine, that a call was
made is at times all that shows of it."""
import re

DEBUG_KEY = r"Software\Wine\Debug"


def trace_calls(case, *functions):
    """The variables that make a run under Wine trace its calls to FUNCTIONS
    ("gdi32.RemoveFontResourceW"), and no others: the prefix's registry keeps
    the trace to them until the case ends."""
    case.session.registry.write_value(DEBUG_KEY, "RelayInclude", "REG_SZ", ";".join(functions))
    case.addCleanup(case.session.registry.delete_value, DEBUG_KEY, "RelayInclude")
    return {"WINEDEBUG": "+relay"}


def traced_calls(stderr, function):
    """The arguments of each traced call to FUNCTION, as Wine prints them:
    numbers in hexadecimal, a string in quotes after its address."""
    dll, name = function.split(".")
    pattern = rb"Call (?i:" + re.escape(dll.encode()) + rb")\." + re.escape(name.encode()) + rb"\((.*)\) ret="
    return re.findall(pattern, stderr)
