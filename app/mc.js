'use strict';
// Game provisioning for the rest of the launcher: the Microsoft account (`Auth`) and the game
// installation and start (`Game`). Everything else in app/mc/ is internal to this module.

const { Auth } = require('./mc/auth');
const { Game } = require('./mc/game');

module.exports = { Auth, Game };
