// One OBS for the length of a test body: stopped, and its files removed, however the body ends.
import { startTestObs } from './clackery.mjs';

// `start` is the way this test file starts OBS (test mode, capturing events, ...).
export async function withObsFrom(start, body, options) {
  const obs = await start(options);
  try {
    await body(obs);
  } finally {
    await obs.kill();
    obs.cleanup();
  }
}

export const withTestObs = (body, options) => withObsFrom(startTestObs, body, options);
