// Validates the GitHub Actions workflows offline against the Actions schema (action-validator,
// compiled to WebAssembly), and checks that the Windows workflow still builds, tests and packs
// what the README promises. This machine cannot run them: Windows runners do.
//   node tests/windows/check_workflows.mjs
import { readFileSync, readdirSync } from 'node:fs';
import { join, dirname } from 'node:path';
import { fileURLToPath } from 'node:url';
import { validateWorkflow } from '@action-validator/core';

const root = join(dirname(fileURLToPath(import.meta.url)), '..', '..');
const folder = join(root, '.github', 'workflows');
const files = readdirSync(folder).filter((name) => /\.ya?ml$/.test(name));
let failed = files.length === 0;
if (failed) console.error(`no workflow in ${folder}`);

for (const name of files) {
	const text = readFileSync(join(folder, name), 'utf8');
	const { errors } = validateWorkflow(text);
	for (const error of errors)
		console.error(`${name}: ${error.title}${error.path ? ` at ${error.path}` : ''}${error.detail ? `: ${error.detail}` : ''}`);
	failed ||= errors.length > 0;
}

// What the schema cannot know: the Windows workflow builds with the MSVC preset, runs the unit
// tests and packs OBS's plug-in folders.
const windows = files.includes('windows.yml') ? readFileSync(join(folder, 'windows.yml'), 'utf8') : '';
const promises = [
	['runs on a Windows runner', /runs-on:\s*windows-/],
	['configures with the MSVC preset', /cmake --preset windows-x64\b/],
	['runs the unit tests', /ctest --preset windows-x64\b/],
	['installs the DLL into obs-plugins/64bit', /obs-plugins[\\/]64bit[\\/]clackery\.dll/],
	['installs the data into data/obs-plugins/clackery', /data[\\/]obs-plugins[\\/]clackery[\\/]/],
	['uploads the zip', /actions\/upload-artifact@/],
];
for (const [what, pattern] of promises) {
	if (!pattern.test(windows)) {
		console.error(`windows.yml no longer ${what}`);
		failed = true;
	}
}
if (failed) process.exit(1);
console.log(`workflows valid: ${files.join(', ')}`);
