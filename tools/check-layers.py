#!/usr/bin/env python3
"""Checks the direction of the includes between the folders of src/.

Reads each folder's floor and the folders it uses from its CMakeLists.txt
(brenvoll_layer(<folder> FLOOR <n> ... USES ...)), then every project
include of src/, and counts:
  - includes from a folder to one it may not use (above it, beside it on
    its floor, or below but not among what it uses, transitively);
  - include loops between files of different classes (a class being the
    header that declares it with its source files, and the files named
    X<Part> beside it that declare no class of their own);
  - loops between folders.
Prints the counts and each fault; exits 1 when any count is not zero.
Usage: tools/check-layers.py [SOURCE_ROOT]   (default: the checkout's src/)
"""
import os
import re
import sys

INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.M)
LAYER = re.compile(r'brenvoll_layer\((\w+)\s+FLOOR\s+(\d+)(.*?)\)', re.S)


def read_layers(src):
    floors, uses = {}, {}
    for folder in sorted(os.listdir(src)):
        cmake = os.path.join(src, folder, 'CMakeLists.txt')
        if not os.path.isfile(cmake):
            continue
        for name, floor, rest in LAYER.findall(open(cmake, encoding='utf-8').read()):
            floors[name] = int(floor)
            words = rest.split()
            used = []
            if 'USES' in words:
                for word in words[words.index('USES') + 1:]:
                    if word.isupper():
                        break
                    used.append(word)
            uses[name] = used
    return floors, uses


def allowed(folder, uses):
    seen, todo = set(), list(uses.get(folder, []))
    while todo:
        f = todo.pop()
        if f not in seen:
            seen.add(f)
            todo.extend(uses.get(f, []))
    return seen


def read_files(src):
    files = {}
    for folder, _, names in os.walk(src):
        for name in names:
            if name.endswith(('.h', '.cpp')):
                path = os.path.relpath(os.path.join(folder, name), src)
                files[path] = INCLUDE.findall(open(os.path.join(folder, name), encoding='utf-8').read())
    return files


def resolve(path, include, files):
    beside = os.path.normpath(os.path.join(os.path.dirname(path), include))
    if beside in files:
        return beside
    return include if include in files else None


CLASS = re.compile(r'^\s*(?:class|struct)\s+(\w+)\b[^;]*$', re.M)


def declared_classes(src, files):
    """The classes each header declares (not merely names ahead)."""
    return {path: set(CLASS.findall(open(os.path.join(src, path), encoding='utf-8').read()))
            for path in files if path.endswith('.h')}


def class_of(path, files, classes):
    """The class a file belongs to: a header with its sources (X.h, X.cpp);
    a file that declares no class of its own, such as XPart.cpp or
    XPart.h beside X.h, belongs to the class X whose name begins its own."""
    folder, name = os.path.split(path)
    stem = os.path.splitext(name)[0]
    header = os.path.join(folder, stem + '.h')
    if stem in classes.get(header, ()):
        return os.path.join(folder, stem)
    owners = [os.path.splitext(os.path.basename(h))[0] for h in classes
              if os.path.dirname(h) == folder and h != header]
    owners = [o for o in owners if stem.startswith(o) and o in classes[os.path.join(folder, o + '.h')]]
    return os.path.join(folder, max(owners, key=len)) if owners else os.path.join(folder, stem)


def cycles(nodes, edges):
    """Strongly connected components of more than one node (Tarjan)."""
    index, low, stack, on, out, counter = {}, {}, [], set(), [], [0]
    sys.setrecursionlimit(10000)

    def visit(v):
        index[v] = low[v] = counter[0]
        counter[0] += 1
        stack.append(v)
        on.add(v)
        for w in edges.get(v, ()):
            if w not in index:
                visit(w)
                low[v] = min(low[v], low[w])
            elif w in on:
                low[v] = min(low[v], index[w])
        if low[v] == index[v]:
            component = []
            while True:
                w = stack.pop()
                on.discard(w)
                component.append(w)
                if w == v:
                    break
            if len(component) > 1:
                out.append(sorted(component))

    for v in sorted(nodes):
        if v not in index:
            visit(v)
    return out


def main():
    root = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), '..', 'src')
    src = os.path.abspath(root)
    floors, uses = read_layers(src)
    files = read_files(src)
    classes = declared_classes(src, files)
    wrong, class_edges, folder_edges = [], {}, {}
    for path, includes in sorted(files.items()):
        folder = path.split(os.sep)[0]
        for include in includes:
            target = resolve(path, include, files)
            if not target:
                continue
            to = target.split(os.sep)[0]
            if to != folder:
                folder_edges.setdefault(folder, set()).add(to)
                if floors and to not in allowed(folder, uses):
                    wrong.append(f'{path} includes {target}: src/{folder} may not use src/{to}')
            a, b = class_of(path, files, classes), class_of(target, files, classes)
            if a != b:
                class_edges.setdefault(a, set()).add(b)
    class_loops = cycles({class_of(p, files, classes) for p in files}, class_edges)
    folder_loops = cycles(set(folder_edges) | {t for ts in folder_edges.values() for t in ts}, folder_edges)
    print(f'includes against the layers: {len(wrong)}' + ('' if floors else ' (no floors declared)'))
    for line in wrong:
        print('  ' + line)
    print(f'include loops between classes: {len(class_loops)}')
    for loop in class_loops:
        print('  ' + ' <-> '.join(loop))
    print(f'include loops between folders: {len(folder_loops)}')
    for loop in folder_loops:
        print('  ' + ' <-> '.join(loop))
    return 1 if wrong or class_loops or folder_loops else 0


if __name__ == '__main__':
    sys.exit(main())
