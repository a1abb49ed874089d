'use strict';
// Base addresses of every outside service the launcher talks to, named by service.
// Callers read them at call time (endpoints.fabricMeta + '/v2/...'), so the tests can
// point any of them at a loopback server; nothing else in the launcher names a host.
const { readBuildInfo } = require('./build-info');

module.exports = {
  fabricMeta: 'https://meta.fabricmc.net',
  fabricMaven: 'https://maven.fabricmc.net',
  modrinth: 'https://api.modrinth.com',
  mojangMeta: 'https://piston-meta.mojang.com',
  mojangResources: 'https://resources.download.minecraft.net',
  mojangLauncher: 'https://launcher.mojang.com',
  adoptium: 'https://api.adoptium.net',
  microsoftLogin: 'https://login.microsoftonline.com',
  // the pages of a personal Microsoft account that the sign-in window passes through
  microsoftAccountPages: ['https://login.live.com', 'https://account.live.com', 'https://signup.live.com'],
  xboxUserAuth: 'https://user.auth.xboxlive.com',
  xboxXsts: 'https://xsts.auth.xboxlive.com',
  minecraftServices: 'https://api.minecraftservices.com',
  // web pages opened in the user's browser for setting up an application id
  azurePortal: 'https://portal.azure.com',
  microsoftShortLinks: 'https://aka.ms',
  // the product's update service as built in; QUORLIN_API overrides it at run time
  updateService: readBuildInfo().updateApi,
};
