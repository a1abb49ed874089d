package com.quorlin.brimlox;

import net.fabricmc.api.ClientModInitializer;

/** Entry point in the game only: says whether it will join a server by itself, and which. */
public final class BrimloxClient implements ClientModInitializer {
    @Override
    public void onInitializeClient() {
        BrimloxConfig config = BrimloxConfig.load(BrimloxConfig.FILE);
        System.out.println(config.autoJoin
                ? "[Brimlox] Otomatik katılma: " + config.serverAddress
                : "[Brimlox] Otomatik katılma kapalı");
    }
}
