// The pieces of the Windows workflow that this machine can run: the reading of dumpbin's reports
// on clackery.dll, and CMake finding OBS's packages in the SDK through the windows-x64 preset.
//   node --test tests/windows/
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import { mkdtempSync, mkdirSync, readFileSync, rmSync, writeFileSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { dirname, join } from 'node:path';
import { fileURLToPath } from 'node:url';
import { ENTRY_POINTS, dependencyProblems, exportProblems, readDependents, readExports } from './check_dll.mjs';

const root = join(dirname(fileURLToPath(import.meta.url)), '..', '..');

// As `dumpbin /nologo /exports` prints a release DLL's table.
function exportsReport(names) {
	const rows = names.map((name, i) => `${String(i + 1).padStart(11)} ${i.toString(16).toUpperCase().padStart(4)} ${(0x1a2b0 + 16 * i).toString(16).toUpperCase().padStart(8, '0')} ${name}`);
	return ['', 'Dump of file clackery.dll', '', 'File Type: DLL', '', '  Section contains the following exports for clackery.dll', '',
		'    00000000 characteristics', '    FFFFFFFF time date stamp', '        0.00 version', '           1 ordinal base',
		`${String(names.length).padStart(12)} number of functions`, `${String(names.length).padStart(12)} number of names`, '',
		'    ordinal hint RVA      name', '', ...rows, '', '  Summary', '', '        4000 .data', '       1A000 .text', ''].join('\r\n');
}

function dependentsReport(names, delayed = []) {
	const block = (heading, list) => (list.length ? [`  Image has the following ${heading}:`, '', ...list.map((n) => `    ${n}`), ''] : []);
	return ['', 'Dump of file clackery.dll', '', 'File Type: DLL', '', ...block('dependencies', names),
		...block('delay load dependencies', delayed), '  Summary', '', '        4000 .data', ''].join('\r\n');
}

const WINDOWS = new Set(['kernel32.dll', 'user32.dll', 'shell32.dll', 'ole32.dll']);
const isSystem = (name) => WINDOWS.has(name.toLowerCase());
const GOOD = ['obs.dll', 'obs-frontend-api.dll', 'Qt6Widgets.dll', 'Qt6Core.dll', 'Qt6Gui.dll', 'USER32.dll', 'KERNEL32.dll',
	'MSVCP140.dll', 'VCRUNTIME140.dll', 'VCRUNTIME140_1.dll', 'api-ms-win-crt-runtime-l1-1-0.dll'];

test('the DLL passes with exactly the entry points and OBS, Qt 6 and Windows DLLs', () => {
	assert.deepEqual(readExports(exportsReport(ENTRY_POINTS)).names, ENTRY_POINTS);
	assert.deepEqual(exportProblems(readExports(exportsReport(ENTRY_POINTS))), []);
	assert.deepEqual(readDependents(dependentsReport(GOOD, ['SHELL32.dll'])), [...GOOD, 'SHELL32.dll']);
	assert.deepEqual(dependencyProblems(GOOD, isSystem), []);
});

test('an export of ours beyond the entry points, or a missing one, is reported', () => {
	const names = [...ENTRY_POINTS.filter((n) => n !== 'obs_module_post_load'), '?start_hook_thread@clackery@@YA_NAEAUKeyRing@1@_N@Z'];
	const problems = exportProblems(readExports(exportsReport(names)));
	assert.equal(problems.length, 2, problems.join('\n'));
	assert.match(problems.join('\n'), /exports \?start_hook_thread/);
	assert.match(problems.join('\n'), /does not export obs_module_post_load/);
	// A table that was not read (dumpbin changed its layout) is never taken for an empty one.
	assert.notDeepEqual(exportProblems(readExports(exportsReport(ENTRY_POINTS).replace('ordinal hint RVA', 'ord hint'))), []);
});

test('a DLL that users do not have beside OBS is reported, delay-loaded or not', () => {
	const report = dependentsReport(['obs.dll', 'Qt6Core.dll', 'libstdc++-6.dll', 'KERNEL32.dll'], ['Qt5Core.dll']);
	const problems = dependencyProblems(readDependents(report), isSystem).join('\n');
	assert.match(problems, /does not load obs-frontend-api\.dll/);
	assert.match(problems, /loads libstdc\+\+-6\.dll/);
	assert.match(problems, /loads Qt5Core\.dll: Qt 5/);
	assert.doesNotMatch(problems, /KERNEL32|Qt6Core/);
});

// OBS 30's CMake 3 scripts install libobs, the frontend API and w32-pthreads (which libobs asks for
// under MSVC) as <prefix>/cmake/<name>/<name>Config.cmake, where find_package does not look on its
// own; Build-ObsSdk.ps1 puts that prefix at <SDK>/obs and the preset must reach it.
test('the windows-x64 preset finds the packages where OBS 30 installs them', (t) => {
	const presets = JSON.parse(readFileSync(join(root, 'CMakePresets.json'), 'utf8'));
	const preset = presets.configurePresets.find((p) => p.name === 'windows-x64');
	const sdk = mkdtempSync(join(tmpdir(), 'clackery-sdk-'));
	t.after(() => rmSync(sdk, { recursive: true, force: true }));
	const prefixPath = preset.cacheVariables.CMAKE_PREFIX_PATH.replaceAll('$penv{CLACKERY_OBS_SDK}', sdk);
	const packages = { libobs: 'obs/cmake/libobs', 'obs-frontend-api': 'obs/cmake/obs-frontend-api',
		'w32-pthreads': 'obs/cmake/w32-pthreads', Qt6: 'qt6/lib/cmake/Qt6' };
	for (const [name, dir] of Object.entries(packages)) {
		mkdirSync(join(sdk, dir), { recursive: true });
		const body = name === 'libobs' ? 'include(CMakeFindDependencyMacro)\nfind_dependency(w32-pthreads REQUIRED)\n' : '';
		writeFileSync(join(sdk, dir, `${name}Config.cmake`), `${body}message(STATUS "found ${name} in \${CMAKE_CURRENT_LIST_DIR}")\n`);
	}
	mkdirSync(join(sdk, 'project'));
	writeFileSync(join(sdk, 'project', 'CMakeLists.txt'), 'cmake_minimum_required(VERSION 3.22)\nproject(probe NONE)\n' +
		'find_package(libobs REQUIRED)\nfind_package(obs-frontend-api REQUIRED)\nfind_package(Qt6 REQUIRED)\n');
	const out = execFileSync('cmake', ['-S', join(sdk, 'project'), '-B', join(sdk, 'build'), `-DCMAKE_PREFIX_PATH=${prefixPath}`],
		{ encoding: 'utf8', stdio: ['ignore', 'pipe', 'pipe'] });
	for (const [name, dir] of Object.entries(packages)) assert.match(out, new RegExp(`found ${name} in ${join(sdk, dir)}`));
});
