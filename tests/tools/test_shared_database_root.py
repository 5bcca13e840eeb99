#!/usr/bin/env python3
"""tools/shared-database.sh create, run by a user who is not root and has no
sudo, at a terminal: it stops at once with exit status 1, saying to run it
as root, and never asks for the new password (which it could not use).

Run as root, the script runs as the user nobody (setpriv); run as another
user, as that user. Exit status 77 (skipped) where the question does not
arise: sudo is installed (the script then rightly goes through it, which may
ask for the sudo password), or the tests run as the server's own user.
Usage: test_shared_database_root.py SOURCE_DIR
"""
import os
import pty
import select
import shutil
import subprocess
import sys
import time

SKIPPED = 77


def run_at_terminal(command, env, seconds=30):
    """Runs the command with a terminal for its input and output; returns its
    exit status and what it wrote, or None for the status when it was still
    running (waiting for an answer) after `seconds` or once it asked for a
    password."""
    master, slave = pty.openpty()
    process = subprocess.Popen(command, stdin=slave, stdout=slave, stderr=slave, env=env, cwd='/',
                               start_new_session=True)
    os.close(slave)
    output = b''
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline and b'assword' not in output:
        ready, _, _ = select.select([master], [], [], 0.2)
        if ready:
            try:
                chunk = os.read(master, 4096)
            except OSError:  # the terminal closed: the script ended
                chunk = b''
            if not chunk and process.poll() is not None:
                break
            output += chunk
        elif process.poll() is not None:
            break
    status = process.poll()
    if status is None:
        process.kill()
        process.wait()
    os.close(master)
    return status, output.decode('utf-8', 'replace')


def main():
    script = os.path.join(sys.argv[1], 'tools', 'shared-database.sh')
    if shutil.which('sudo'):
        print('sudo is installed: the script may rightly ask for the sudo password')
        return SKIPPED
    command = ['bash', script, 'create', 'brenvoll_never_made']
    if os.geteuid() == 0:
        if not shutil.which('setpriv'):
            print('setpriv is missing: cannot run the script as another user')
            return SKIPPED
        command = ['setpriv', '--reuid=65534', '--regid=65534', '--clear-groups', '--'] + command
    elif subprocess.run(['id', '-un'], capture_output=True, text=True).stdout.strip() == 'postgres':
        print('the tests run as the server\'s own user')
        return SKIPPED

    env = {k: v for k, v in os.environ.items() if not k.startswith('PG')}
    env.update(BRENVOLL_ADMIN='postgres', BRENVOLL_USER='brenvoll_never_made', HOME='/nonexistent')
    status, output = run_at_terminal(command, env)
    print(output)
    faults = []
    if 'assword' in output:
        faults.append('asked for a password')
    if status is None:
        faults.append('did not end by itself')
    elif status != 1:
        faults.append(f'ended with exit status {status}, not 1')
    if 'as root' not in output:
        faults.append('did not say to run it as root')
    for fault in faults:
        print(f'FAIL: shared-database.sh create as a user without root or sudo {fault}')
    return 1 if faults else 0


if __name__ == '__main__':
    sys.exit(main())
