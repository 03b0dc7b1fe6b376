#!/usr/bin/env python3
"""Holds every #include of the project to the arrows between its folders.

Each folder of src/ is one library that links the folders under it in
LINKS below, the same arrows as the lum_library lines of CMakeLists.txt and
cmake/*.cmake. A file may include its own folder's headers and those of the
folders its library links, directly or through another; the portable core
includes the C++ standard library and nothing of a platform. The browser
engine (src/engine and WebKitGTK's own headers) is included only by
src/engine, by the two engine programs' entries and by the engine's tests and
benchmark: `lumenary` cannot link what none of its files include.

Usage: check-includes.py [SOURCE_DIR]   prints each wrong include, exits 1
       check-includes.py --self-test    checks the checker on a tree of its own
"""
import os
import re
import sys
import tempfile

CORE = ['platform', 'common', 'settings', 'host', 'slideshow']

# folder -> the folders its library links (platform is headers only).
LINKS = {
    'platform': [],
    'common': ['platform'],
    'settings': ['common'],
    'host': ['common'],
    'slideshow': ['settings', 'host'],
    'win32': ['slideshow'],
    'win32/browser': ['win32'],
    'win32/settings': ['win32/browser'],
    'linux': ['slideshow'],
    'linux/capture': ['linux'],
    'linux/session': ['linux/capture'],
    'linux/settings': ['linux/session'],
    'engine': ['linux/session'],
}

# The programs' entries (src/app) and what each program links.
PROGRAMS = {
    'app/win32': ['win32/settings'],              # Lumenary.scr
    'app/linux/Main.cpp': ['linux/settings'],     # lumenary
    'app/linux/CaptureMain.cpp': ['engine'],      # lumenary-capture
    'app/linux/SignInMain.cpp': ['engine'],       # lumenary-sign-in
}

# Outside src/: the places that may reach the browser engine.
ENGINE_USERS = ['tests/engine/', 'bench/linux/']

# System headers of the browser engine.
ENGINE_SYSTEM = re.compile(r'^(webkit2|webkit|jsc|JavaScriptCore|libsoup)/')

# The core's tests and fakes are as portable as the core, with GoogleTest.
PORTABLE_TESTS = ['tests/' + f + '/' for f in CORE + ['fakes']]
TEST_SYSTEM = re.compile(r'^(gtest|gmock)/')

INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^">]+)[">]', re.M)
SOURCE_EXT = ('.h', '.hpp', '.cpp', '.c', '.rc')


def closure(folders):
    seen, todo = set(), list(folders)
    while todo:
        f = todo.pop()
        if f not in seen:
            seen.add(f)
            todo.extend(LINKS[f])
    return seen


def folder_of(path):
    """The src/ folder (a key of LINKS) that holds a src-relative path."""
    d = os.path.dirname(path)
    while d and d not in LINKS:
        d = os.path.dirname(d)
    return d or None


def allowed_for(rel):
    """The src folders that the file at rel (repository-relative) may include,
    or None where only the engine rule holds."""
    if rel.startswith('src/app/'):
        inside = rel[len('src/'):]
        for key, links in PROGRAMS.items():
            if inside == key or inside.startswith(key + '/'):
                return closure(links) | {os.path.dirname(inside)}
        return set()
    if rel.startswith('src/'):
        own = folder_of(rel[len('src/'):])
        return closure([own]) if own else set()
    if any(rel.startswith(p) for p in PORTABLE_TESTS):
        return closure(['slideshow'])
    return None


def resolve(root, rel, name):
    """The repository path an include "name" of file rel names, if any."""
    here = os.path.join(os.path.dirname(rel), name)
    for candidate in (here, 'src/' + name, 'tests/' + name):
        if os.path.isfile(os.path.join(root, candidate)):
            return os.path.normpath(candidate)
    return None


def check_file(root, rel):
    text = open(os.path.join(root, rel), encoding='utf-8', errors='replace').read()
    allowed = allowed_for(rel)
    engine_user = (rel.startswith('src/engine/') or any(rel.startswith(p) for p in ENGINE_USERS)
                   or (allowed is not None and 'engine' in allowed))
    core = rel.startswith('src/') and folder_of(rel[len('src/'):]) in CORE
    portable = core or any(rel.startswith(p) for p in PORTABLE_TESTS)
    wrong = []
    for kind, name in INCLUDE.findall(text):
        if kind == '<':
            if portable and ('/' in name or name.endswith('.h')) and not TEST_SYSTEM.match(name):
                wrong.append(f'{name}: the portable core includes no system header but the C++ library\'s')
            elif ENGINE_SYSTEM.match(name) and not engine_user:
                wrong.append(f'{name}: only src/engine and the engine programs include the browser engine')
            continue
        target = resolve(root, rel, name)
        if target is None or not target.startswith('src/'):
            continue  # a test's own header, a generated file
        folder = folder_of(target[len('src/'):])
        if folder is None:
            continue
        if folder == 'engine' and not engine_user:
            wrong.append(f'{name}: only src/engine and the engine programs include src/engine')
        elif core and folder not in CORE:
            wrong.append(f'{name}: the portable core includes no platform folder (src/{folder})')
        elif allowed is not None and folder not in allowed:
            wrong.append(f'{name}: src/{folder} is not linked by this file\'s library')
    return [f'{rel}: {w}' for w in wrong]


def check_tree(root):
    problems = []
    for top in ('src', 'tests', 'bench', 'fuzz'):
        for dirpath, _, files in os.walk(os.path.join(root, top)):
            for f in sorted(files):
                if f.endswith(SOURCE_EXT):
                    rel = os.path.relpath(os.path.join(dirpath, f), root)
                    problems += check_file(root, rel)
    return problems


def self_test():
    """The checker must refuse each kind of wrong include and pass right ones."""
    files = {
        'src/engine/WebKitWebView.h': '',
        'src/win32/Strings.h': '',
        'src/linux/GtkApplication.h': '',
        'src/linux/session/WebDataFolder.h': '',
        'src/common/Bmp.h': '#include <cstdint>\n',
        'src/engine/Right.cpp': '#include "linux/session/WebDataFolder.h"\n#include <webkit2/webkit2.h>\n',
        'src/app/linux/CaptureMain.cpp': '#include "engine/WebKitWebView.h"\n',
        'tests/engine/RightTest.cpp': '#include "engine/WebKitWebView.h"\n',
        'src/linux/Wrong1.cpp': '#include "engine/WebKitWebView.h"\n',
        'src/app/linux/Main.cpp': '#include "engine/WebKitWebView.h"\n',
        'src/common/Wrong2.cpp': '#include "win32/Strings.h"\n',
        'src/common/Wrong3.cpp': '#include <gtk/gtk.h>\n',
        'src/linux/Wrong4.cpp': '#include "linux/session/WebDataFolder.h"\n',
        'src/linux/settings/Wrong5.cpp': '#include <webkit2/webkit2.h>\n',
        'tests/linux/Wrong6Test.cpp': '#include "engine/WebKitWebView.h"\n',
        'tests/common/Wrong7Test.cpp': '#include "linux/GtkApplication.h"\n',
    }
    with tempfile.TemporaryDirectory() as root:
        for rel, text in files.items():
            os.makedirs(os.path.join(root, os.path.dirname(rel)), exist_ok=True)
            with open(os.path.join(root, rel), 'w') as out:
                out.write(text)
        problems = check_tree(root)
    flagged = sorted({p.split(':')[0] for p in problems})
    expected = sorted(rel for rel in files if 'Wrong' in rel or rel == 'src/app/linux/Main.cpp')
    if flagged != expected:
        print('self-test: expected', expected, 'flagged', flagged)
        for p in problems:
            print('  ', p)
        return 1
    print(f'self-test: {len(expected)} wrong includes refused, right ones passed')
    return 0


def main(argv):
    if argv[1:] == ['--self-test']:
        return self_test()
    root = argv[1] if len(argv) > 1 else os.path.join(os.path.dirname(__file__), '..')
    problems = check_tree(root)
    for p in problems:
        print(p)
    if problems:
        print(f'{len(problems)} include(s) against the arrows between the folders '
              '(docs/development.md)')
        return 1
    print('includes follow the arrows between the folders')
    return 0


if __name__ == '__main__':
    sys.exit(main(sys.argv))
