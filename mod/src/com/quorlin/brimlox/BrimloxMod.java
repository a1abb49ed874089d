package com.quorlin.brimlox;

import net.fabricmc.api.ModInitializer;

/** Entry point on the server and in the game: reports the configuration it starts with. */
public final class BrimloxMod implements ModInitializer {
    @Override
    public void onInitialize() {
        BrimloxConfig config = BrimloxConfig.load(BrimloxConfig.FILE);
        System.out.println("[Brimlox] " + BrimloxConfig.FILE + ": " + config);
    }
}
