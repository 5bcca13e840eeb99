#!/usr/bin/env python3
"""Says what a ctest run skipped, for tools/test.sh to print at its end.

A test program that passes may still have skipped some of its cases (QtTest
prints a "SKIP   : Class::function(row) reason" line for each, followed by
a "   Loc: [file(line)]" line); a whole program may have been skipped by
ctest (SKIP_RETURN_CODE, listed by ctest as "***Skipped", its reason being
what it printed). Both are listed here, grouped by reason, so that a green
run does not hide what it did not check. Cases skipped in a failing program
are left out: ctest already printed that program's whole output.

Usage: tools/skipped-tests.py LAST_TEST_LOG [CTEST_OUTPUT]
  LAST_TEST_LOG  build/Testing/Temporary/LastTest.log of the run
  CTEST_OUTPUT   what ctest printed (its list of skipped programs)
Exit status 0 whenever the files could be read.
"""
import re
import sys
from collections import OrderedDict

BLOCK = re.compile(
    r'^\d+/\d+ Test: (?P<name>\S+)\n.*?^Output:\n-+\n(?P<output>.*?)<end of output>\n'
    r'.*?^Test (?P<result>Passed|Failed)\.',
    re.M | re.S)
SKIP = re.compile(r'^SKIP   : (?P<case>\S+?\(.*?\)) ?(?P<reason>.*?)\n\s+Loc: ', re.M | re.S)
SKIPPED_PROGRAM = re.compile(r'^\s*\d+/\d+ Test +#\d+: (?P<name>\S+) \.*\*+Skipped\b', re.M)


def read(path):
    with open(path, encoding='utf-8', errors='replace') as f:
        return f.read()


def summary(log, ctest_output=''):
    """The summary's lines for a LastTest.log and ctest's own output."""
    outputs, passed = {}, set()
    for block in BLOCK.finditer(log):
        outputs[block['name']] = block['output']
        if block['result'] == 'Passed':
            passed.add(block['name'])
    skipped_programs = [m['name'] for m in SKIPPED_PROGRAM.finditer(ctest_output)]

    by_reason = OrderedDict()
    cases = 0
    programs_with_cases = set()
    for name, output in outputs.items():
        if name not in passed or name in skipped_programs:
            continue
        for skip in SKIP.finditer(output):
            reason = ' '.join(skip['reason'].split()) or '(no reason given)'
            by_reason.setdefault(reason, []).append(f'{name}  {skip["case"]}')
            cases += 1
            programs_with_cases.add(name)

    if not cases and not skipped_programs:
        return ['Skipped: nothing.']
    lines = [f'Skipped: {cases} cases inside {len(programs_with_cases)} passing test programs, '
             f'{len(skipped_programs)} whole test programs.']
    for reason, where in by_reason.items():
        lines.append(f'  {reason} ({len(where)})')
        lines.extend(f'      {case}' for case in where)
    if skipped_programs:
        lines.append('  Test programs skipped whole:')
        for name in skipped_programs:
            said = [line.strip() for line in outputs.get(name, '').splitlines() if line.strip()]
            lines.append(f'      {name}: {said[-1] if said else "(no reason given)"}')
    return lines


def main(argv):
    if len(argv) not in (2, 3):
        print(__doc__, file=sys.stderr)
        return 2
    try:
        log = read(argv[1])
        ctest_output = read(argv[2]) if len(argv) == 3 else ''
    except OSError as error:
        print(f'Skipped: no summary ({error})')
        return 1
    print('\n'.join(summary(log, ctest_output)))
    return 0


if __name__ == '__main__':
    sys.exit(main(sys.argv))
