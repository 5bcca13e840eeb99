#!/usr/bin/env python3
"""tools/skipped-tests.py over a ctest run's log and output as ctest 3.25
writes them (two test programs passing with skipped cases, one skipped
whole, one failing): the summary tools/test.sh prints at its end.
Usage: test_skipped_tests.py SOURCE_DIR
"""
import importlib.util
import os
import sys
import unittest


def block(number, name, command, output, result):
    return (f'{number}/5 Testing: {name}\n{number}/5 Test: {name}\n'
            f'Command: "{command}"\nDirectory: /b/tests\n"{name}" start time: Dec 08 10:32 UTC\n'
            f'Output:\n----------------------------------------------------------\n{output}<end of output>\n'
            f'Test time =   0.01 sec\n----------------------------------------------------------\n'
            f'Test {result}.\n"{name}" end time: Dec 08 10:32 UTC\n"{name}" time elapsed: 00:00:00\n'
            f'----------------------------------------------------------\n\n')


FAULTS = ('********* Start testing of FaultsTest *********\n'
          'PASS   : FaultsTest::initTestCase()\n'
          'SKIP   : FaultsTest::diskFull(sqlite) a full disk needs root (mount)\n'
          '   Loc: [/src/tests/robustness/tst_faults.cpp(120)]\n'
          'SKIP   : FaultsTest::diskFull(server, on close) a full disk needs root (mount)\n'
          '   Loc: [/src/tests/robustness/tst_faults.cpp(120)]\n'
          'PASS   : FaultsTest::cleanupTestCase()\n'
          'Totals: 2 passed, 0 failed, 2 skipped, 0 blacklisted, 10ms\n')
XLS = ('SKIP   : XlsExportTest::opensInLibreOffice() no LibreOffice installed\n'
       '   Loc: [/src/tests/formats/tst_xlsexport.cpp(580)]\n'
       'SKIP   : XlsExportTest::serverOnly() applies to\n   the server engine only\n'
       '   Loc: [/src/tests/formats/tst_xlsexport.cpp(600)]\n')
BROKEN = ('SKIP   : BrokenTest::elsewhere() not here\n   Loc: [/src/x.cpp(1)]\n'
          'FAIL!  : BrokenTest::wrong() Compared values are not the same\n')
LOG = ('Start testing: Dec 08 10:32 UTC\n----------------------------------------------------------\n' +
       block(1, 'tst_faults', '/b/tests/tst_faults', FAULTS, 'Passed') +
       block(2, 'tst_xlsexport', '/b/tests/tst_xlsexport', XLS, 'Passed') +
       block(3, 'tst_report_postgresql', '/b/tests/tst_report',
             'QWARN  : starting\nno PostgreSQL installed (initdb not found)\n', 'Passed') +
       block(4, 'tst_broken', '/b/tests/tst_broken', BROKEN, 'Failed') +
       block(5, 'tst_quoted', "sh -c 'printf \"SKIP   : Q::x() fake\\n   Loc: [q]\\n\"'", 'PASS   : Q::y()\n',
             'Passed') +
       'End testing: Dec 08 10:32 UTC\n')
CTEST_OUTPUT = ('Test project /b\n    Start 1: tst_faults\n'
                '1/5 Test #1: tst_faults .......................   Passed    0.01 sec\n'
                '2/5 Test #2: tst_xlsexport ....................   Passed    0.01 sec\n'
                '3/5 Test #3: tst_report_postgresql ............***Skipped   0.01 sec\n'
                '4/5 Test #4: tst_broken .......................***Failed    0.01 sec\n'
                '5/5 Test #5: tst_quoted .......................   Passed    0.01 sec\n\n'
                '80% tests passed, 1 tests failed out of 5\n')


class SkippedTestsTest(unittest.TestCase):
    def test_summary_of_a_run(self):
        self.assertEqual(collector.summary(LOG, CTEST_OUTPUT), [
            'Skipped: 4 cases inside 2 passing test programs, 1 whole test programs.',
            '  a full disk needs root (mount) (2)',
            '      tst_faults  FaultsTest::diskFull(sqlite)',
            '      tst_faults  FaultsTest::diskFull(server, on close)',
            '  no LibreOffice installed (1)',
            '      tst_xlsexport  XlsExportTest::opensInLibreOffice()',
            '  applies to the server engine only (1)',
            '      tst_xlsexport  XlsExportTest::serverOnly()',
            '  Test programs skipped whole:',
            '      tst_report_postgresql: no PostgreSQL installed (initdb not found)',
        ])

    def test_a_run_without_skips_says_so(self):
        log = LOG.replace('SKIP   : ', 'PASS   : ')
        output = CTEST_OUTPUT.replace('***Skipped', '   Passed')
        self.assertEqual(collector.summary(log, output), ['Skipped: nothing.'])

    def test_without_ctest_output_the_cases_are_still_listed(self):
        lines = collector.summary(LOG)
        self.assertEqual(lines[0], 'Skipped: 4 cases inside 2 passing test programs, 0 whole test programs.')
        self.assertNotIn('  Test programs skipped whole:', lines)


if __name__ == '__main__':
    path = os.path.join(sys.argv.pop(1), 'tools', 'skipped-tests.py')
    spec = importlib.util.spec_from_file_location('skipped_tests', path)
    collector = importlib.util.module_from_spec(spec)
    spec.loader.exec_module(collector)
    unittest.main()
