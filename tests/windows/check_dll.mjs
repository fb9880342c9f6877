// Checks clackery.dll as Microsoft's dumpbin reads it: it exports OBS's module entry points and
// nothing else, and loads only OBS, its frontend API, Qt 6 and Windows' own DLLs (a stray
// dependency is a DLL that users do not have beside OBS). Run by the Windows workflow:
//   node tests/windows/check_dll.mjs --dumpbin <dumpbin.exe> <clackery.dll>
import { execFileSync } from 'node:child_process';
import { existsSync } from 'node:fs';
import { join } from 'node:path';
import { fileURLToPath } from 'node:url';

// The entry points OBS looks up in a module that the module defines (obs-module.h).
export const ENTRY_POINTS = [
	'obs_module_description',
	'obs_module_load',
	'obs_module_post_load',
	'obs_module_set_pointer',
	'obs_module_unload',
	'obs_module_ver',
];

// The names of `dumpbin /exports`: the table's rows after its "ordinal hint RVA name" heading,
// checked against the count that dumpbin states.
export function readExports(text) {
	const lines = text.split(/\r?\n/);
	const heading = lines.findIndex((line) => /^\s*ordinal\s+hint\s+RVA\s+name\s*$/.test(line));
	if (heading < 0) return { names: [], stated: Number(/(\d+) number of names/.exec(text)?.[1] ?? 0) };
	const names = [];
	for (const line of lines.slice(heading + 1)) {
		if (/^\s*Summary\s*$/.test(line)) break;
		// "ordinal hint RVA name", or "ordinal hint name (forwarded to ...)" without an RVA.
		const row = /^\s+\d+\s+[0-9A-Fa-f]+\s+(?:[0-9A-Fa-f]{8}\s+)?(\S+)/.exec(line);
		if (row) names.push(row[1]);
	}
	return { names, stated: Number(/(\d+) number of names/.exec(text)?.[1] ?? -1) };
}

// The DLL names of `dumpbin /dependents`, delay-loaded ones included.
export function readDependents(text) {
	const names = [];
	let inList = false;
	for (const line of text.split(/\r?\n/)) {
		if (/has the following (delay load )?dependencies/.test(line)) inList = true;
		else if (/^\s*Summary\s*$/.test(line)) inList = false;
		else if (inList && /^\s+\S+\.dll\s*$/i.test(line)) names.push(line.trim());
	}
	return names;
}

export function exportProblems({ names, stated }) {
	const problems = [];
	if (stated !== names.length) problems.push(`dumpbin states ${stated} exported names, ${names.length} were read`);
	for (const name of names)
		if (!ENTRY_POINTS.includes(name)) problems.push(`exports ${name}, which is no entry point of OBS's`);
	for (const name of ENTRY_POINTS) if (!names.includes(name)) problems.push(`does not export ${name}`);
	return problems;
}

// isSystem(name): whether Windows itself has the DLL (the runner's System32).
export function dependencyProblems(names, isSystem) {
	const problems = [];
	const lower = names.map((name) => name.toLowerCase());
	for (const needed of ['obs.dll', 'obs-frontend-api.dll'])
		if (!lower.includes(needed)) problems.push(`does not load ${needed}`);
	if (!lower.some((name) => /^qt6\w+\.dll$/.test(name))) problems.push('loads no Qt 6 DLL');
	for (const name of names) {
		const low = name.toLowerCase();
		if (low === 'obs.dll' || low === 'obs-frontend-api.dll' || /^qt6\w+\.dll$/.test(low)) continue;
		if (/^qt5/.test(low)) problems.push(`loads ${name}: Qt 5, which OBS 30 and later do not have`);
		// The C runtime: Windows' own (API sets) or the Visual C++ runtime that OBS installs.
		else if (/^api-ms-win-/.test(low) || /^(msvcp140|vcruntime140)(_\w+)?\.dll$/.test(low)) continue;
		else if (!isSystem(name)) problems.push(`loads ${name}, which is neither OBS's, Qt's nor Windows'`);
	}
	return problems;
}

function dumpbin(tool, option, dll) {
	return execFileSync(tool, ['/nologo', option, dll], { encoding: 'utf8' });
}

if (process.argv[1] === fileURLToPath(import.meta.url)) {
	const args = process.argv.slice(2);
	const at = args.indexOf('--dumpbin');
	if (at < 0 || args.length !== 3) {
		console.error('usage: node tests/windows/check_dll.mjs --dumpbin <dumpbin.exe> <dll>');
		process.exit(2);
	}
	const tool = args[at + 1];
	const dll = args.filter((_, i) => i !== at && i !== at + 1)[0];
	const system32 = join(process.env.SystemRoot ?? 'C:\\Windows', 'System32');
	const exportsRead = readExports(dumpbin(tool, '/exports', dll));
	const dependents = readDependents(dumpbin(tool, '/dependents', dll));
	console.log(`exports: ${exportsRead.names.join(', ') || '(none)'}`);
	console.log(`loads: ${dependents.join(', ') || '(none)'}`);
	const problems = [
		...exportProblems(exportsRead),
		...dependencyProblems(dependents, (name) => existsSync(join(system32, name))),
	];
	for (const problem of problems) console.error(`clackery.dll ${problem}`);
	process.exit(problems.length ? 1 : 0);
}
