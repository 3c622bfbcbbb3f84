// The login page: a session cookie for the dashboard.
'use strict';

(function login() {
  const form = document.getElementById('login-form');
  const error = document.getElementById('login-error');
  // The key of the message shown, so that a language switch retells it.
  let shown = null;

  function show(key, ...args) {
    shown = key ? [key, ...args] : null;
    error.hidden = !key;
    error.textContent = key ? t(key, ...args) : '';
  }

  form.addEventListener('submit', async (event) => {
    event.preventDefault();
    show(null);
    const button = document.getElementById('login-submit');
    button.disabled = true;
    try {
      await api('POST', '/login', {
        user: document.getElementById('login-user').value,
        password: document.getElementById('login-password').value,
      });
      location.assign('/');
    } catch (failure) {
      if (failure.status === 401) {
        show('login.failed');
        document.getElementById('login-password').select();
      } else if (failure.status === 429) {
        show('login.paused');
      } else if (failure.status) {
        // The server's own words, in the browser's language.
        show('login.refused', failure.message);
      } else {
        show('login.error', failure.message);
      }
    } finally {
      button.disabled = false;
    }
  });

  applyTexts();
  wireLanguageSwitch();
  onLanguageChange(() => { if (shown) { show(...shown); } });
})();
