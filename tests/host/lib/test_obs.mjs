// One OBS in test mode for the length of a test body: stopped, and its files removed, however
// the body ends.
import { startTestObs } from './clackery.mjs';

export async function withTestObs(body, options) {
  const obs = await startTestObs(options);
  try {
    await body(obs);
  } finally {
    await obs.kill();
    obs.cleanup();
  }
}
